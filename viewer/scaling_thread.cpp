#include "scaling_thread.h"

ScalingThread::ScalingThread() : thread_([this] { Work(); }) {}

ScalingThread::~ScalingThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ScalingThread::Run(std::function<void()> job) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  job_ = std::move(job);
  busy_ = true;
  lock.unlock();
  changed_.notify_all();
}

void ScalingThread::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
}

void ScalingThread::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || busy_; });
    if (stopping_) return;
    lock.unlock();
    job_();
    lock.lock();
    job_ = nullptr;
    busy_ = false;
    changed_.notify_all();
  }
}
