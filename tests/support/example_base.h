#pragma once
// The worked example of the variables map: one category list ($comp with
// Ноутбуки and Мониторы) and two simple variables. UTF-8 here; tests store
// it with W().
namespace adw::test {

inline constexpr const char* kExampleMap =
    "[Variab]\r\n"
    "item1=Компьютеры$comp\r\n"
    "item2=Имя$NAME$Иван\r\n"
    "item3=Текст$TEXT$\r\n"
    "[$comp]\r\n"
    "item1=Ноутбуки\r\n"
    "item2=Мониторы\r\n";

}  // namespace adw::test
