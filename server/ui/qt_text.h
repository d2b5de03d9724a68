#pragma once
// The server's single-byte texts (Windows-1252) as the window shows them.
#include <QString>
#include <string>

#include "platform/single_byte_text.h"

namespace velka::server::ui {

inline QString ShownText(const std::string& single_byte) {
  return QString::fromStdString(SingleByteToUtf8(single_byte));
}

}  // namespace velka::server::ui
