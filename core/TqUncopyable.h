// A base that forbids copying and assignment of the classes built on it.
#pragma once

class TqUncopyable {
 protected:
  TqUncopyable() = default;
  ~TqUncopyable() = default;

 public:
  TqUncopyable(const TqUncopyable&) = delete;
  TqUncopyable& operator=(const TqUncopyable&) = delete;
};
