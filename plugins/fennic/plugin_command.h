// fennic's command classes. Every menu command is one static object of a class derived from
// CPluginCommand; the base constructor enters the object into the entry map (entry_map.cpp), so
// the order of definition of the static objects is the order of rows and command ids.
//
// The language commands come in four families, one per menu kind; each family implements the
// notifications once and asks its concrete class only for a menu text, a description and the
// conversion. The conversions of one language live in a language object.
#ifndef FENNIC_PLUGIN_COMMAND_H
#define FENNIC_PLUGIN_COMMAND_H

#include <QString>
#include <string>

#include "app/plugin_host/korvane_plugin.h"

namespace fennic {

class CPluginCommand {
 public:
  // With `enter`, takes the next free row of the entry map (while fewer than 100 are used).
  explicit CPluginCommand(bool enter = true);
  virtual ~CPluginCommand();
  virtual void OnInit(CPluginContext& context) = 0;
  virtual void OnUpdate(CPluginContext& context) = 0;
  virtual void OnExecute(CPluginContext& context) = 0;
  virtual void OnExit(CPluginContext& context) {}

  bool IsRegistered() const { return m_bRegistered; }

 private:
  bool m_bRegistered = false;
};

// The conversions of one language: literal import and export (the string-literal rules) and
// the sample-code window.
class CLanguage {
 public:
  virtual ~CLanguage() = default;
  virtual std::u16string ImportLiteral(const std::u16string& source) const = 0;
  virtual std::u16string ExportLiteral(const std::u16string& pattern) const = 0;
  virtual void CreateCode(const std::u16string& pattern, const std::u16string& text,
                          const std::u16string& replaceTo, int flags) const = 0;
};

const CLanguage& CppLanguage();
const CLanguage& JavaLanguage();
const CLanguage& VbLanguage();

// A command of one of the four menu kinds: the family implements the notifications, the
// concrete class gives the menu text and the description.
class CLanguageCommand : public CPluginCommand {
 public:
  virtual QString GetMenuText() const = 0;
  virtual QString GetDescription() const = 0;
};

// The families that turn one text into another: the concrete class gives the conversion.
class CTextCommand : public CLanguageCommand {
 public:
  virtual std::u16string Convert(const std::u16string& text) const = 0;
};

// Menu kind 1: converts the clipboard's text and hands the result back as the selection.
class CImportClipboardCommand : public CTextCommand {
 public:
  void OnInit(CPluginContext& context) override;
  void OnUpdate(CPluginContext& context) override;
  void OnExecute(CPluginContext& context) override;
};

// Menu kind 2: converts the selection in place.
class CImportSelectedCommand : public CTextCommand {
 public:
  void OnInit(CPluginContext& context) override;
  void OnUpdate(CPluginContext& context) override;
  void OnExecute(CPluginContext& context) override;
};

// Menu kind 3: converts the selection (or the whole pattern) and puts it on the clipboard.
class CExportClipboardCommand : public CTextCommand {
 public:
  void OnInit(CPluginContext& context) override;
  void OnUpdate(CPluginContext& context) override;
  void OnExecute(CPluginContext& context) override;
};

// Menu kind 4: opens the sample-code window for the three texts and the options.
class CExportCodeCommand : public CLanguageCommand {
 public:
  void OnInit(CPluginContext& context) override;
  void OnUpdate(CPluginContext& context) override;
  void OnExecute(CPluginContext& context) override;
  virtual void Convert(const std::u16string& pattern, const std::u16string& text,
                       const std::u16string& replaceTo, int flags) const = 0;
};

// The clipboard through Qt. Without a QGuiApplication the clipboard counts as one that cannot
// be opened.
bool ReadClipboard(std::u16string* text);
bool WriteClipboard(const std::u16string& text);

}  // namespace fennic

#endif
