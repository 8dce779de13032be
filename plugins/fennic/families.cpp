// The four families of language commands, the language objects and the clipboard access
// (plugin_command.h). Covered by tests/plugin_test.cpp.
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>

#include "plugins/fennic/code_dialog.h"
#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/literals.h"
#include "plugins/fennic/plugin_command.h"

namespace fennic {
namespace {

// Menu texts and prompts go to the host as narrow text in the system code page.
void SetMenu(CPluginContext& context, int kind, const QString& text, const QString& prompt) {
  context.SetMenuType(kind, nullptr);
  QByteArray t = text.toLocal8Bit(), p = prompt.toLocal8Bit();
  context.SetMenuText(t.constData(), p.constData());
}

std::u16string Selection(CPluginContext& context) {
  const unsigned short* t = nullptr;
  int n = 0;
  context.GetSelectedText(t, n);
  return FromApi(t, n);
}

std::u16string WindowText(CPluginContext& context, int window) {
  const unsigned short* t = nullptr;
  int n = 0;
  context.GetWindowAllText(window, t, n);
  return FromApi(t, n);
}

std::u16string RootText(CPluginContext& context) {
  const unsigned short* t = nullptr;
  int n = 0;
  context.GetRootElement().GetText(t, n);
  return FromApi(t, n < 0 ? 0 : n);
}

bool EditorActive(CPluginContext& context) {
  int w = context.GetActiveWindow();
  return w >= ZWND_PATTERN && w <= ZWND_REPLACETO;
}

void GiveSelection(CPluginContext& context, const std::u16string& text) {
  // An empty result leaves the selection as it was.
  if (!text.empty()) context.SetSelectedText(ToApi(text), Length(text));
}

QClipboard* Clipboard() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::clipboard();
}

class CCppLanguageImpl : public CLanguage {
 public:
  std::u16string ImportLiteral(const std::u16string& s) const override { return CppImport(s); }
  std::u16string ExportLiteral(const std::u16string& s) const override { return CppExport(s); }
  void CreateCode(const std::u16string& p, const std::u16string& t, const std::u16string& r, int f) const override {
    ShowCreateCode(LANG_CPP, p, t, r, f);
  }
};

// Java sources are read with the C++ rules.
class CJavaLanguageImpl : public CLanguage {
 public:
  std::u16string ImportLiteral(const std::u16string& s) const override { return CppImport(s); }
  std::u16string ExportLiteral(const std::u16string& s) const override { return JavaExport(s); }
  void CreateCode(const std::u16string& p, const std::u16string& t, const std::u16string& r, int f) const override {
    ShowCreateCode(LANG_JAVA, p, t, r, f);
  }
};

class CVbLanguageImpl : public CLanguage {
 public:
  std::u16string ImportLiteral(const std::u16string& s) const override { return VbImport(s); }
  std::u16string ExportLiteral(const std::u16string& s) const override { return VbExport(s); }
  void CreateCode(const std::u16string& p, const std::u16string& t, const std::u16string& r, int f) const override {
    ShowCreateCode(LANG_VB, p, t, r, f);
  }
};

}  // namespace

const CLanguage& CppLanguage() {
  static const CCppLanguageImpl language;
  return language;
}
const CLanguage& JavaLanguage() {
  static const CJavaLanguageImpl language;
  return language;
}
const CLanguage& VbLanguage() {
  static const CVbLanguageImpl language;
  return language;
}

bool ReadClipboard(std::u16string* text) {
  QClipboard* clipboard = Clipboard();
  if (!clipboard) return false;
  *text = clipboard->text().toStdU16String();
  return true;
}

bool WriteClipboard(const std::u16string& text) {
  QClipboard* clipboard = Clipboard();
  if (!clipboard) return false;
  clipboard->setText(QString::fromStdU16String(text));
  return true;
}

// ---- import from clipboard -------------------------------------------------------------------

void CImportClipboardCommand::OnInit(CPluginContext& context) {
  SetMenu(context, ZMENU_IMPORT_CLIPBOARD, GetMenuText(), GetDescription());
}

void CImportClipboardCommand::OnUpdate(CPluginContext& context) {
  std::u16string text;
  bool enable = EditorActive(context) && ReadClipboard(&text) &&
                !QString::fromStdU16String(text).toLocal8Bit().isEmpty();
  context.SetMenuEnable(enable ? 1 : 0);
}

void CImportClipboardCommand::OnExecute(CPluginContext& context) {
  std::u16string text;
  if (!ReadClipboard(&text) || text.empty()) return;
  GiveSelection(context, Convert(text));
}

// ---- import from selection -------------------------------------------------------------------

void CImportSelectedCommand::OnInit(CPluginContext& context) {
  SetMenu(context, ZMENU_IMPORT_SELECTED, GetMenuText(), GetDescription());
}

void CImportSelectedCommand::OnUpdate(CPluginContext& context) {
  context.SetMenuEnable(EditorActive(context) && !Selection(context).empty() ? 1 : 0);
}

void CImportSelectedCommand::OnExecute(CPluginContext& context) {
  std::u16string selection = Selection(context);
  if (selection.empty()) return;
  GiveSelection(context, Convert(selection));
}

// ---- export to clipboard ---------------------------------------------------------------------

void CExportClipboardCommand::OnInit(CPluginContext& context) {
  SetMenu(context, ZMENU_EXPORT_CLIPBOARD, GetMenuText(), GetDescription());
}

void CExportClipboardCommand::OnUpdate(CPluginContext& context) {
  bool enable = !Selection(context).empty() ||
                (context.GetActiveWindow() == ZWND_PATTERN && !RootText(context).empty());
  context.SetMenuEnable(enable ? 1 : 0);
}

void CExportClipboardCommand::OnExecute(CPluginContext& context) {
  std::u16string text = Selection(context);
  if (text.empty()) text = RootText(context);
  WriteClipboard(Convert(text));
}

// ---- export to code --------------------------------------------------------------------------

void CExportCodeCommand::OnInit(CPluginContext& context) {
  SetMenu(context, ZMENU_EXPORT_CODE, GetMenuText(), GetDescription());
}

void CExportCodeCommand::OnUpdate(CPluginContext& context) {
  context.SetMenuEnable(WindowText(context, ZWND_PATTERN).empty() ? 0 : 1);
}

void CExportCodeCommand::OnExecute(CPluginContext& context) {
  std::u16string pattern = WindowText(context, ZWND_PATTERN);
  if (pattern.empty()) return;
  Convert(pattern, WindowText(context, ZWND_TEXT), WindowText(context, ZWND_REPLACETO), context.GetFlags());
}

}  // namespace fennic
