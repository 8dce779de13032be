// Test harness: fennic loaded the way korvane loads it, and a host-side pattern with its
// element tree, for driving fennic's commands through the exported plugin API.
#ifndef FENNIC_TESTS_PLUGIN_HARNESS_H
#define FENNIC_TESTS_PLUGIN_HARNESS_H

#include <QLibrary>
#include <memory>
#include <string>
#include <vector>

#include "app/plugin_host/plugin_context_data.h"

namespace fennic_test {

// The module, loaded once for the whole test program and kept loaded.
QLibrary& Module();
PluginEntry* EntryMap();

inline std::vector<unsigned short> U16(const std::u16string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }
inline std::u16string FromU16(const unsigned short* t, int n) {
  return t && n > 0 ? std::u16string(t, t + n) : std::u16string();
}

// A compiled host pattern, its element tree, and one command's context over it.
struct Session {
  explicit Session(const std::u16string& pattern, int flags = 0)
      : text(U16(pattern)), re(text.data(), static_cast<int>(text.size()), flags) {
    tree.Build(re, text.data(), static_cast<int>(text.size()));
    data = new PluginContextData();
    context = CPluginContext(data);
    data->root = RootHandle(tree);
    data->current = RootHandle(tree);
    data->pattern = &re;
    data->tree = &tree;
    data->flags = flags;
    data->patternText = text.data();
    data->patternLength = static_cast<int>(text.size());
    data->activeWindow = ZWND_PATTERN;
  }
  void Select(const std::u16string& s) {
    selection = U16(s);
    data->selection = selection.data();
    data->selectionLength = static_cast<int>(selection.size());
  }
  // Sends one notification to entry-map row `row`; clears the replaced mark first, as the host
  // does before update and execute.
  int Send(int row, int code) {
    data->replaced = 0;
    PluginEntry& e = EntryMap()[row];
    return e.callback(code, &context, e.userData);
  }
  bool Enabled(int row) {
    data->enabled = 1;
    Send(row, 2);
    return data->enabled != 0;
  }
  std::u16string Pending() const {
    return data->replaced && !data->pending.empty() ? std::u16string(data->pending.begin(), data->pending.end() - 1)
                                                    : std::u16string();
  }
  std::u16string Rewritten() const { return std::u16string(tree.Text().begin(), tree.Text().end()); }

  std::vector<unsigned short> text, selection;
  HostRegexp re;
  CElementTree tree;
  PluginContextData* data;  // owned through `context`
  CPluginContext context;
};

// Entry-map rows.
enum {
  ROW_CPP_IMPORT_CLIPBOARD, ROW_CPP_IMPORT_SELECTED, ROW_CPP_EXPORT_CLIPBOARD, ROW_CPP_EXPORT_CODE,
  ROW_JAVA_IMPORT_CLIPBOARD, ROW_JAVA_IMPORT_SELECTED, ROW_JAVA_EXPORT_CLIPBOARD, ROW_JAVA_EXPORT_CODE,
  ROW_VB_IMPORT_CLIPBOARD, ROW_VB_IMPORT_SELECTED, ROW_VB_EXPORT_CLIPBOARD, ROW_VB_EXPORT_CODE,
  ROW_HTML_ENTITY, ROW_HTML_TAG, ROW_ALTERNATIVE, ROW_TO_CAPTURE, ROW_TO_NONCAPTURE, ROW_COUNT
};

}  // namespace fennic_test

#endif
