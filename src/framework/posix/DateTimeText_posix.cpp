#include "framework/DateTimeText.h"
#include "framework/LocalTime.h"

#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

std::string ShortDateLongTimeText(std::time_t time) {
  std::tm local = LocalTime(time);
  std::ostringstream text;
  try {
    text.imbue(std::locale(""));
  } catch (const std::runtime_error &) {
    // An environment naming a locale this machine lacks: the classic form, rather than no log.
  }
  text << std::put_time(&local, "%x %X");
  return text.str();
}
