// adweld-board forms PAGE [--code WIN1251|KOI8-R|ISO|UTF-8] [--form N]
// Shows a board page as the add-board wizard sees it, in UTF-8:
//   form K action=ACTION method=METHOD      each form of the page, then
//     KIND name="NAME" STATE                one line per control, then
//   submit NAME=VALUE                       the pairs a click on the form's
//                                           first submit button or image delivers
//                                           (without one: a submission
//                                           started without a button);
//   tree form N                             the field tree of form N,
//     "CAPTION" field=".." value=".." text=".." record=R   (children
//                                           indented further; nodes that
//                                           share a record show the same R)
//   map LINE                                the MAP lines the tree writes
//                                           with every node bound to X$x.
// PAGE is a file or an http:// URL. Without --code the page's code page is
// found as the wizard finds it (the reply's Content-Type, the page's meta
// charset), else WIN1251. Characters of a UTF-8 page that the program's
// code page lacks are named on stderr. Line breaks and quotes inside values
// are shown escaped, so every item stays on its line.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/board/commands.h"
#include "engine/base/replaced_characters.h"
#include "engine/wizard/board_text.h"
#include "engine/wizard/fetch/http_cli.h"
#include "engine/wizard/field_tree.h"
#include "engine/wizard/html/html_document.h"
#include "engine/wizard/page_charset.h"
#include "platform/concat.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;
using adw::platform::Cp1251ToUtf8;

void Usage() {
  std::fputs("usage: adweld-board forms PAGE [--code WIN1251|KOI8-R|ISO|UTF-8] [--form N]\n", stderr);
}

std::string Escaped(std::string_view text, bool quoted) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += quoted ? "\\t" : "\t";
        break;
      case '"':
        out += quoted ? "\\\"" : "\"";
        break;
      case '\\':
        out += quoted ? "\\\\" : "\\";
        break;
      default:
        if (quoted && static_cast<unsigned char>(c) < 32) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return Cp1251ToUtf8(out);
}

std::string Q(std::string_view text) {
  return adw::platform::Concat({"\"", Escaped(text, true), "\""});
}
std::string Raw(std::string_view text) {
  return Escaped(text, false);
}

std::string OptionsText(const TOptionListFormControlObj& list) {
  std::string out = " options:";
  for (std::size_t i = 0; i < list.Options().size(); ++i) {
    const TOptionObj& option = list.Options()[i];
    out += list.IsSelected(i) ? " *" : " ";
    out += Q(option.Value) + "=" + Q(option.Text);
  }
  return out;
}

std::string ControlLine(const TFormControlObj& control) {
  const std::string name = " name=" + Q(control.Name());
  switch (control.Kind()) {
    case FormControlKind::Edit: {
      const auto& edit = static_cast<const TEditFormControlObj&>(control);
      std::string line = (edit.IsPassword() ? "password" : "text") + name + " value=" + Q(edit.Text()) +
                         " size=" + std::to_string(edit.Size());
      if (edit.MaxLength() > 0) line += " maxlength=" + std::to_string(edit.MaxLength());
      return line;
    }
    case FormControlKind::Hidden:
      return "hidden" + name + " value=" + Q(control.Value());
    case FormControlKind::CheckBox:
      return "checkbox" + name + " value=" + Q(control.Value()) +
             (static_cast<const TCheckBoxFormControlObj&>(control).Checked() ? " checked" : " unchecked");
    case FormControlKind::Radio:
      return "radio" + name + " value=" + Q(control.Value()) +
             (static_cast<const TRadioButtonFormControlObj&>(control).Checked() ? " checked" : " unchecked");
    case FormControlKind::Button: {
      const auto& button = static_cast<const TButtonFormControlObj&>(control);
      const char* kind = button.ButtonType() == ButtonKind::Submit  ? "button-submit"
                         : button.ButtonType() == ButtonKind::Reset ? "button-reset"
                                                                    : "button";
      return kind + name + " value=" + Q(button.Value());
    }
    case FormControlKind::Image: {
      const auto& image = static_cast<const TImageFormControlObj&>(control);
      return "image" + name + " src=" + Q(image.Src());
    }
    case FormControlKind::Combo:
      return "combo" + name + OptionsText(static_cast<const TOptionListFormControlObj&>(control));
    case FormControlKind::ListBox: {
      const auto& list = static_cast<const TListBoxFormControlObj&>(control);
      return "listbox" + name + " rows=" + std::to_string(list.Rows()) +
             (list.Multiple() ? " multiple" : "") + OptionsText(list);
    }
    case FormControlKind::TextArea: {
      const auto& area = static_cast<const TTextAreaFormControlObj&>(control);
      return "textarea" + name + " rows=" + std::to_string(area.Rows()) +
             " cols=" + std::to_string(area.Cols()) + " text=" + Q(area.Text());
    }
  }
  return "?";
}

std::optional<int> CodeIndex(std::string_view name) {
  for (int index = 0; index < kCodePageCount; ++index) {
    if (adw::platform::EqualsNoCase(name, CodePageText(index))) return index;
  }
  return std::nullopt;
}

std::optional<int> FormNumber(std::string_view text) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n >= 1 ? std::optional<int>(n) : std::nullopt;
}

bool IsHttpUrl(std::string_view page) {
  return (page.size() >= 7 && adw::platform::EqualsNoCase(page.substr(0, 7), "http://")) ||
         (page.size() >= 8 && adw::platform::EqualsNoCase(page.substr(0, 8), "https://"));
}

}  // namespace

int RunForms(int argc, char** argv) {
  std::string page;
  bool havePage = false;
  int codeIndex = -1;  // not given: found from the page
  int formNumber = 1;
  std::string caFile;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--ca-file" && i + 1 < argc) {
      caFile = argv[++i];
      continue;
    }
    if (arg == "--code" || arg == "--form") {
      const std::optional<int> value = i + 1 >= argc     ? std::nullopt
                                       : arg == "--code" ? CodeIndex(argv[i + 1])
                                                         : FormNumber(argv[i + 1]);
      if (!value) {
        std::fprintf(stderr, "adweld-board forms: %s needs %s\n", argv[i],
                     arg == "--code" ? "WIN1251, KOI8-R, ISO or UTF-8" : "a form number from 1");
        Usage();
        return kExitUsage;
      }
      (arg == "--code" ? codeIndex : formNumber) = *value;
      ++i;
    } else if (!havePage && !arg.empty() && arg.front() != '-') {
      page = arg;
      havePage = true;
    } else {
      Usage();
      return kExitUsage;
    }
  }
  if (!havePage) {
    Usage();
    return kExitUsage;
  }

  std::string bytes;
  std::string contentType;
  if (IsHttpUrl(page)) {
    THttpCli http;
    http.URL = page;
    http.CAFile = caFile;
    http.ReplyStream = &bytes;
    try {
      http.Get();
      contentType = http.ContentType();
    } catch (const HttpCliError& e) {
      std::fprintf(stderr, "adweld-board forms: %s: %s (%d)\n", page.c_str(), e.what(), e.Code());
      return kExitFailed;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "adweld-board forms: %s: %s\n", page.c_str(), e.what());
      return kExitFailed;
    }
  } else {
    if (!adw::platform::FileExists(page)) {
      std::fprintf(stderr, "adweld-board forms: Can't locate file: %s\n", page.c_str());
      return kExitFailed;
    }
    std::optional<std::string> read = adw::platform::ReadWholeFile(page);
    if (!read) {
      std::fprintf(stderr, "adweld-board forms: Can't read file: %s\n", page.c_str());
      return kExitFailed;
    }
    bytes = std::move(*read);
  }

  if (codeIndex < 0) codeIndex = std::max(DetectPageCodePage(contentType, bytes), 0);
  std::vector<char32_t> replaced;
  const std::string text = PreparePageText(bytes, codeIndex, replaced);
  if (!replaced.empty())
    std::fprintf(stderr, "adweld-board forms: %s\n", ReplacedCharactersNote(replaced).c_str());
  const std::unique_ptr<THtmlDocument> doc = THtmlDocument::Parse(text);
  std::string out;
  for (std::size_t k = 0; k < doc->Forms().size(); ++k) {
    const ThtmlForm& form = *doc->Forms()[k];
    out += "form " + std::to_string(k + 1) + " action=" + Raw(form.Action()) +
           " method=" + Raw(form.Method()) + "\n";
    for (const auto& control : form.Controls()) out += "  " + ControlLine(*control) + "\n";
    const TSubmitTrigger trigger{form.FirstSubmitter(), 0, 0};
    for (const std::string& pair : form.BuildSubmission(trigger)) out += "submit " + Raw(pair) + "\n";
  }

  TFieldTree tree;
  tree.Build(text, formNumber);
  out += "tree form " + std::to_string(formNumber) + "\n";
  for (std::size_t i = 0; i < tree.Nodes().size(); ++i) {
    const TFieldNode& node = tree.Nodes()[i];
    const FieldRecord& record = tree.Record(i);
    out += node.parent == TFieldNode::kNoParent ? "  " : "    ";
    out += Q(node.caption) + " field=" + Q(record.FieldName) + " value=" + Q(record.OptionValue) +
           " text=" + Q(record.OptionText) + " record=" + std::to_string(node.record + 1) + "\n";
  }
  for (std::size_t i = 0; i < tree.Nodes().size(); ++i) tree.Bind(i, "X", "$x");
  for (const std::string& line : tree.BindingLines()) out += "map " + Raw(line) + "\n";

  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return kExitOk;
}
