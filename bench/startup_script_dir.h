#pragma once
// The large script directory of the start-up benchmarks: board files much
// like the wizard writes, base.map with ten fields and a category list, and
// base.dat with ads of ten fields each.
#include <fstream>
#include <string>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::bench {

using adw::platform::W;

inline constexpr int kFieldCount = 10;
inline constexpr int kAdCount = 2000;

// path is Windows-1251 text like every path of the program; on disk the
// name is in UTF-8, as the program's own file functions name it.
inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(adw::platform::NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A board much like the wizard writes, with a due date so that the due
// rule does its whole work for every board.
inline std::string BoardText(int n) {
  const std::string name = W("Доска ") + std::to_string(n);
  std::string text = "[Project]\r\nNAME=" + name + "\r\n";
  text += "SUBMIT=http://127.0.0.1/board" + std::to_string(n) + "/add.cgi\r\n";
  text +=
      "SUBBODY=subject=$TEMA&name=$NAME&phone=$PHONE&email=$EMAIL&city=$CITY&price=$PRICE&text=$TEXT"
      "&rubr=3&region=77&period=30&agree=1&send=" +
      W("Отправить") + "\r\n";
  text += "REQUEST=http://127.0.0.1/board" + std::to_string(n) + "/\r\n";
  text += "CODE=" + std::string(n % 3 == 0 ? "KOI8-R" : "WIN1251") + "\r\n";
  text += "LASTSEND=" + std::to_string(10 + n % 18) + ".0" + std::to_string(1 + n % 9) + ".2024\r\n";
  text += "Period=" + std::to_string(n % 7) + "\r\n \r\n[MAP]\r\n";
  for (int i = 1; i <= 6; ++i) {
    text += std::to_string(i) + "$rubr=" + W("Раздел ") + std::to_string(i) + "$comp\r\n";
  }
  return text + "\r\n\r\n\r\n";
}

inline std::string StoredBoard(int n) {
  std::string bytes = adw::engine::Tlzrw1::CompressBytes(BoardText(n));
  bytes.replace(0, 4, "ADWP");
  return bytes;
}

inline std::string MapText() {
  std::string text = "[Variab]\r\nitem1=" + W("Компьютеры") + "$comp\r\n";
  for (int f = 0; f < kFieldCount; ++f) {
    text += "item" + std::to_string(f + 2) + "=" + W("Поле ") + std::to_string(f) + "$F" + std::to_string(f) +
            "$" + W("значение") + "\r\n";
  }
  text += "[$comp]\r\n";
  for (int i = 1; i <= 20; ++i)
    text += "item" + std::to_string(i) + "=" + W("Раздел ") + std::to_string(i) + "\r\n";
  return text;
}

inline std::string AdsText(int adCount = kAdCount) {
  std::string text;
  for (int a = 0; a < adCount; ++a) {
    text += "[" + W("Объявление ") + std::to_string(a) + "]\r\n";
    for (int f = 0; f < kFieldCount; ++f) {
      text += W("Поле ") + std::to_string(f) + "$F" + std::to_string(f) + "=" + W("Текст поля ") +
              std::to_string(f) + W(" объявления ") + std::to_string(a) + "\r\n";
    }
    text += "default=" + W("Раздел ") + std::to_string(1 + a % 20) + "$comp\r\n";
    text += "reppath=/tmp/reports/" + std::to_string(a) + "\r\n";
  }
  return text;
}

// Writes a whole script directory (which must exist).
inline void WriteScriptDir(const std::string& dir, int boards, int ads) {
  for (int n = 0; n < boards; ++n)
    WriteFile(dir + "/" + W("Доска ") + std::to_string(n) + ".prj", StoredBoard(n));
  WriteFile(dir + "/base.map", MapText());
  WriteFile(dir + "/base.dat", AdsText(ads));
}

}  // namespace adw::bench
