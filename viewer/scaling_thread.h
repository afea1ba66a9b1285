#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A second thread for the window's one long chore: scaling rows of a picture that is still
// loading, while the decoder goes on with the rows above them. One job at a time: Run waits for
// the job before. Whoever touches what a job reads or writes calls Wait first.
class ScalingThread {
 public:
  ScalingThread();
  ~ScalingThread();
  ScalingThread(const ScalingThread&) = delete;
  ScalingThread& operator=(const ScalingThread&) = delete;

  void Run(std::function<void()> job);
  void Wait();

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts when everything above is ready
};
