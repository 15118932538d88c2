// Feeds arbitrary bytes to the page tokenizer, the document and form model
// (operating every control), the page preparation and the field tree, and
// checks that the layout list stays properly nested.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/wizard/board_text.h"
#include "engine/wizard/field_tree.h"
#include "engine/wizard/html/char_refs.h"
#include "engine/wizard/html/html_document.h"
#include "engine/wizard/html/html_tokenizer.h"

using namespace adw::engine;

namespace {

void CheckNesting(const THtmlDocument& doc) {
  std::vector<LayoutKind> open;
  const auto expect = [&](LayoutKind begin) {
    if (open.empty() || open.back() != begin) std::abort();
    open.pop_back();
  };
  for (const TLayoutItem& item : doc.Items()) {
    switch (item.kind) {
      case LayoutKind::ListBegin:
      case LayoutKind::TableBegin:
      case LayoutKind::RowBegin:
      case LayoutKind::CellBegin:
        if (item.kind == LayoutKind::RowBegin && (open.empty() || open.back() != LayoutKind::TableBegin))
          std::abort();
        if (item.kind == LayoutKind::CellBegin && (open.empty() || open.back() != LayoutKind::RowBegin))
          std::abort();
        open.push_back(item.kind);
        break;
      case LayoutKind::ListEnd:
        expect(LayoutKind::ListBegin);
        break;
      case LayoutKind::TableEnd:
        expect(LayoutKind::TableBegin);
        break;
      case LayoutKind::RowEnd:
        expect(LayoutKind::RowBegin);
        break;
      case LayoutKind::CellEnd:
        expect(LayoutKind::CellBegin);
        break;
      case LayoutKind::Text:
        if (item.text.find('\n') != std::string::npos || item.text.empty()) std::abort();
        [[fallthrough]];
      default:
        // Content never sits in a table or row outside a cell.
        if (!open.empty() && (open.back() == LayoutKind::TableBegin || open.back() == LayoutKind::RowBegin))
          std::abort();
        break;
    }
    if (item.style.link >= doc.Links().size()) std::abort();
    if (open.size() > 4 * THtmlDocument::kMaxNesting) std::abort();
  }
  if (!open.empty()) std::abort();
}

void Operate(THtmlDocument& doc, std::uint8_t seed) {
  std::size_t submissions = 0;
  doc.SetOnFormSubmit([&](const std::string&, const std::string& method, std::vector<std::string>) {
    if (method.size() > ThtmlForm::kMethodLength) std::abort();
    ++submissions;
  });
  for (const auto& form : doc.Forms()) {
    form->BuildSubmission(TSubmitTrigger{form->FirstSubmitButton(), 1, 2});
    for (const auto& control : form->Controls()) {
      switch (control->Kind()) {
        case FormControlKind::Edit: {
          auto& edit = static_cast<TEditFormControlObj&>(*control);
          edit.SetText("typed\r\ntext");
          if (edit.MaxLength() > 0 && edit.Text().size() > static_cast<std::size_t>(edit.MaxLength()))
            std::abort();
          if (seed & 1) edit.PressEnter();
          break;
        }
        case FormControlKind::CheckBox:
          static_cast<TCheckBoxFormControlObj&>(*control).SetChecked(seed & 2);
          break;
        case FormControlKind::Radio:
          static_cast<TRadioButtonFormControlObj&>(*control).Click();
          break;
        case FormControlKind::Button:
          if (seed & 4) static_cast<TButtonFormControlObj&>(*control).Click();
          break;
        case FormControlKind::Image:
          static_cast<TImageFormControlObj&>(*control).Click();
          break;
        case FormControlKind::Combo: {
          auto& combo = static_cast<TComboFormControlObj&>(*control);
          if (!combo.Options().empty()) combo.SetSelectedIndex(seed % combo.Options().size());
          break;
        }
        case FormControlKind::ListBox: {
          auto& list = static_cast<TListBoxFormControlObj&>(*control);
          for (std::size_t i = 0; i < list.Options().size(); ++i) list.SetSelected(i, (i + seed) % 3 == 0);
          break;
        }
        case FormControlKind::TextArea:
          static_cast<TTextAreaFormControlObj&>(*control).SetText("a\r\nb\rc\n");
          break;
        case FormControlKind::Hidden:
          break;
      }
    }
    if (seed & 8) form->ResetControls();
    form->Submit(TSubmitTrigger{});
  }
  if (submissions < doc.Forms().size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t seed = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  DecodeCharRefs(input, seed & 1);
  const std::string page = PreparePageText(input, seed % kCodePageCount);
  std::unique_ptr<THtmlDocument> doc = THtmlDocument::Parse(page);
  CheckNesting(*doc);
  Operate(*doc, seed);

  TFieldTree tree;
  tree.Build(page, 1 + seed % 3);
  for (std::size_t i = 0; i < tree.Nodes().size(); ++i) {
    if (tree.Nodes()[i].parent != TFieldNode::kNoParent && tree.Nodes()[i].parent >= i) std::abort();
    tree.Bind(i, "X", "$x");
  }
  if (tree.BindingLines().size() != tree.Nodes().size()) std::abort();
  return 0;
}
