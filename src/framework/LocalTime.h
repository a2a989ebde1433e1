// The local clock, broken down (localtime_r and localtime_s differ only in their argument order).
#pragma once
#include <ctime>

inline std::tm LocalTime(std::time_t time) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &time);
#else
  localtime_r(&time, &local);
#endif
  return local;
}
