#include "framework/DateTimeText.h"
#include "framework/LocalTime.h"
#include "framework/WinApi.h"

namespace {

SYSTEMTIME SystemTimeOf(const std::tm &local) {
  SYSTEMTIME time{};
  time.wYear = WORD(local.tm_year + 1900);
  time.wMonth = WORD(local.tm_mon + 1);
  time.wDayOfWeek = WORD(local.tm_wday);
  time.wDay = WORD(local.tm_mday);
  time.wHour = WORD(local.tm_hour);
  time.wMinute = WORD(local.tm_min);
  time.wSecond = WORD(local.tm_sec);
  return time;
}

// Asks for the length first: a user's format may be longer than any fixed buffer.
template <typename TFormat> std::string Formatted(TFormat format) {
  int length = format(nullptr, 0);
  if (length <= 0)
    return {};
  std::string text(std::size_t(length), '\0');
  length = format(text.data(), length);
  text.resize(length > 0 ? std::size_t(length - 1) : 0); // the count includes the terminating zero
  return text;
}

} // namespace

std::string ShortDateLongTimeText(std::time_t time) {
  SYSTEMTIME local = SystemTimeOf(LocalTime(time));
  std::string date = Formatted([&local](char *buffer, int size) {
    return ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, buffer, size);
  });
  std::string clock = Formatted([&local](char *buffer, int size) {
    return ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &local, nullptr, buffer, size);
  });
  return date + " " + clock;
}
