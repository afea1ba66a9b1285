#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A second thread for the window's one long chore: scaling rows of a picture that is still
// loading while the decoder goes on with the rows above them. Jobs run one after another in the
// order they came; queuing one never waits. Whoever changes what a job reads calls Wait first.
class ScalingThread {
 public:
  ScalingThread();
  ~ScalingThread();
  ScalingThread(const ScalingThread&) = delete;
  ScalingThread& operator=(const ScalingThread&) = delete;

  void Run(std::function<void()> job);
  // Until every job queued has run.
  void Wait();

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts when everything above is ready
};
