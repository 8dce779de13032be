// fennic's side of the plugin protocol: the entry map the host reads through GetPluginEntryMap,
// the common dispatcher of every row, the seventeen command objects in row order, and the
// exported optimizer entry DoOptimizeStrings. Covered by tests/plugin_test.cpp.
#include <cstdint>
#include <new>

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/html_tools.h"
#include "plugins/fennic/optimizer.h"
#include "plugins/fennic/pattern_commands.h"
#include "plugins/fennic/plugin_command.h"
#include "resources/fennic_ids.h"
#include "resources/stringtable.h"

#define FENNIC_EXPORT extern "C" __attribute__((visibility("default")))

namespace fennic {

// 101 rows, all zero at load, each row's user data the command object; row 100 always stays
// zero and ends the map. The two integers
// after the rows: rows in use, and whether the clipboard is read and written as UTF-16 (always
// so through Qt).
struct EntryMap {
  PluginEntry rows[101];
  int count;
  int unicodeClipboard;
};

namespace {

// Zero-initialised before any dynamic initialisation, so the command objects below can enter
// themselves whatever the order in which the loader runs the static constructors of other files.
EntryMap g_entryMap;

const int kMaxRows = 100;

// Never lets an exception reach the host: the command simply does nothing further.
int Dispatch(int code, CPluginContext* context, void* userData) {
  CPluginCommand* command = static_cast<CPluginCommand*>(userData);
  if (code < PLUGIN_LOAD || code > PLUGIN_UNLOAD) return code - 1;
  if (!command || !context) return 0;
  try {
    switch (code) {
      case PLUGIN_LOAD: command->OnInit(*context); break;
      case PLUGIN_UPDATE: command->OnUpdate(*context); break;
      case PLUGIN_EXECUTE: command->OnExecute(*context); break;
      case PLUGIN_UNLOAD: command->OnExit(*context); break;
    }
  } catch (...) {
  }
  return 0;
}

}  // namespace

CPluginCommand::CPluginCommand(bool enter) {
  if (!enter || g_entryMap.count >= kMaxRows) return;
  PluginEntry& row = g_entryMap.rows[g_entryMap.count++];
  row.callback = Dispatch;
  row.userData = this;
  m_bRegistered = true;
}

// The map's rows go away with the library; nothing to undo.
CPluginCommand::~CPluginCommand() = default;

namespace {

// ---- the concrete language commands: a menu text, a description and the conversion ---------

class CLanguageImportClipboard : public CImportClipboardCommand {
 public:
  CLanguageImportClipboard(const CLanguage& language, int text, int description)
      : m_language(language), m_nText(text), m_nDescription(description) {}
  QString GetMenuText() const override { return CStringTable::Str(m_nText); }
  QString GetDescription() const override { return CStringTable::Str(m_nDescription); }
  std::u16string Convert(const std::u16string& s) const override { return m_language.ImportLiteral(s); }

 private:
  const CLanguage& m_language;
  int m_nText, m_nDescription;
};

class CLanguageImportSelected : public CImportSelectedCommand {
 public:
  CLanguageImportSelected(const CLanguage& language, int text, int description)
      : m_language(language), m_nText(text), m_nDescription(description) {}
  QString GetMenuText() const override { return CStringTable::Str(m_nText); }
  QString GetDescription() const override { return CStringTable::Str(m_nDescription); }
  std::u16string Convert(const std::u16string& s) const override { return m_language.ImportLiteral(s); }

 private:
  const CLanguage& m_language;
  int m_nText, m_nDescription;
};

class CLanguageExportClipboard : public CExportClipboardCommand {
 public:
  CLanguageExportClipboard(const CLanguage& language, int text, int description)
      : m_language(language), m_nText(text), m_nDescription(description) {}
  QString GetMenuText() const override { return CStringTable::Str(m_nText); }
  QString GetDescription() const override { return CStringTable::Str(m_nDescription); }
  std::u16string Convert(const std::u16string& s) const override { return m_language.ExportLiteral(s); }

 private:
  const CLanguage& m_language;
  int m_nText, m_nDescription;
};

class CLanguageExportCode : public CExportCodeCommand {
 public:
  CLanguageExportCode(const CLanguage& language, int text, int description)
      : m_language(language), m_nText(text), m_nDescription(description) {}
  QString GetMenuText() const override { return CStringTable::Str(m_nText); }
  QString GetDescription() const override { return CStringTable::Str(m_nDescription); }
  void Convert(const std::u16string& p, const std::u16string& t, const std::u16string& r, int flags) const override {
    m_language.CreateCode(p, t, r, flags);
  }

 private:
  const CLanguage& m_language;
  int m_nText, m_nDescription;
};

class CConvertHtmlEntityCommand : public CImportSelectedCommand {
 public:
  QString GetMenuText() const override { return CStringTable::Str(IDS_CONVERT_HTML_ENTITY); }
  QString GetDescription() const override { return CStringTable::Str(IDS_CONVERT_HTML_ENTITY_DESC); }
  std::u16string Convert(const std::u16string& s) const override { return ConvertHtmlEntities(s); }
};

class CRemoveHtmlTagCommand : public CImportSelectedCommand {
 public:
  QString GetMenuText() const override { return CStringTable::Str(IDS_REMOVE_HTML_TAG); }
  QString GetDescription() const override { return CStringTable::Str(IDS_REMOVE_HTML_TAG_DESC); }
  std::u16string Convert(const std::u16string& s) const override { return RemoveHtmlTags(s); }
};

struct UnicodeClipboardFlag {
  UnicodeClipboardFlag() { g_entryMap.unicodeClipboard = 1; }
} g_unicodeFlag;

// The commands, in row order (rows 0 to 16; the command id is 40000 plus the row when fennic is
// the only plugin library).
CLanguageImportClipboard g_cppImportClipboard(CppLanguage(), IDS_CPP_STRING, IDS_CPP_IMPORT_CLIPBOARD_DESC);
CLanguageImportSelected g_cppImportSelected(CppLanguage(), IDS_CPP_STRING, IDS_CPP_IMPORT_SELECTED_DESC);
CLanguageExportClipboard g_cppExportClipboard(CppLanguage(), IDS_CPP_STRING, IDS_CPP_EXPORT_CLIPBOARD_DESC);
CLanguageExportCode g_cppExportCode(CppLanguage(), IDS_CPP_STRING, IDS_CPP_CREATE_CODE_DESC);
CLanguageImportClipboard g_javaImportClipboard(JavaLanguage(), IDS_JAVA_STRING, IDS_JAVA_IMPORT_CLIPBOARD_DESC);
CLanguageImportSelected g_javaImportSelected(JavaLanguage(), IDS_JAVA_STRING, IDS_JAVA_IMPORT_SELECTED_DESC);
CLanguageExportClipboard g_javaExportClipboard(JavaLanguage(), IDS_JAVA_STRING, IDS_JAVA_EXPORT_CLIPBOARD_DESC);
CLanguageExportCode g_javaExportCode(JavaLanguage(), IDS_JAVA_STRING, IDS_JAVA_CREATE_CODE_DESC);
CLanguageImportClipboard g_vbImportClipboard(VbLanguage(), IDS_VB_STRING, IDS_VB_IMPORT_CLIPBOARD_DESC);
CLanguageImportSelected g_vbImportSelected(VbLanguage(), IDS_VB_STRING, IDS_VB_IMPORT_SELECTED_DESC);
CLanguageExportClipboard g_vbExportClipboard(VbLanguage(), IDS_VB_STRING, IDS_VB_EXPORT_CLIPBOARD_DESC);
CLanguageExportCode g_vbExportCode(VbLanguage(), IDS_VB_STRING, IDS_VB_CREATE_CODE_DESC);
CConvertHtmlEntityCommand g_convertHtmlEntity;
CRemoveHtmlTagCommand g_removeHtmlTag;
CAlternativeOfStringsCommand g_alternativeOfStrings;
CGroupConvertCommand g_toCaptureGroup(true);
CGroupConvertCommand g_toNoncaptureGroup(false);

}  // namespace
}  // namespace fennic

FENNIC_EXPORT PluginEntry* GetPluginEntryMap() { return fennic::g_entryMap.rows; }

FENNIC_EXPORT int DoOptimizeStrings(const FennicStringList* list, FennicBuffer* out) {
  if (!out) return 0;
  out->length = 0;
  try {
    std::vector<std::u16string> strings;
    if (list && list->strings && list->count > 0) {
      for (int i = 0; i < list->count; ++i)
        strings.push_back(fennic::FromApi(list->strings[i], list->lengths ? list->lengths[i] : -1));
    }
    // The caller's options are not known: the result is written to read the same either way.
    std::u16string result = fennic::OptimizeStrings(strings, EXTENDED);
    out->length = fennic::Length(result);
    if (out->data && out->capacity > 0) {
      int n = out->length < out->capacity - 1 ? out->length : out->capacity - 1;
      for (int i = 0; i < n; ++i) out->data[i] = result[i];
      out->data[n] = 0;
    }
  } catch (...) {
    out->length = 0;
  }
  return 0;
}
