// Plugin libraries for the plugin manager's tests, one per variant (PM_VARIANT_...), each built
// against korvane_plugin.h only, the way third parties build theirs. Every notification, and
// the library's own unload (its static destructor), is reported to PmTestRecord, which the test
// program defines: a host without it cannot load these libraries at all.
#include <stdexcept>
#include <string>

#include "app/plugin_host/korvane_plugin.h"

#define PM_EXPORT extern "C" __attribute__((visibility("default")))

PM_EXPORT void PmTestRecord(const char* event);

namespace {

enum Behaviour {
  B_WRAP = 1,                   // execute: the selection comes back as "<selection>"
  B_REWRITE = 2,                // execute: the first string element becomes "XYZ"
  B_THROW_LOAD = 4,
  B_THROW_UPDATE = 8,
  B_THROW_EXECUTE = 16,         // after doing its other work
  B_ENABLE_ON_SELECTION = 32,   // update: enabled while the selection is not empty
  B_ECHO = 64,                  // execute: reports what its context holds
  B_THROW_UNLOAD = 128
};

struct Row {
  int kind;
  const char* group;
  const char* text;
  const char* prompt;
  int behaviour;
};

#if defined(PM_VARIANT_ALPHA)
#define PM_NAME "alpha"
const Row kRows[] = {
    {3, "", "Alpha export", "Alpha export prompt", B_WRAP | B_ENABLE_ON_SELECTION},
    {1, "", "Alpha import", "Alpha import prompt", B_REWRITE},
    {0, nullptr, nullptr, nullptr, 0}};
#elif defined(PM_VARIANT_SECOND)
#define PM_NAME "second"
const Row kRows[] = {{3, nullptr, "Second export", "Second prompt", B_ECHO}, {0, nullptr, nullptr, nullptr, 0}};
#elif defined(PM_VARIANT_NOEXPORT) || defined(PM_VARIANT_NULLMAP) || defined(PM_VARIANT_EMPTYMAP)
#if defined(PM_VARIANT_NOEXPORT)
#define PM_NAME "noexport"
#elif defined(PM_VARIANT_NULLMAP)
#define PM_NAME "nullmap"
#else
#define PM_NAME "emptymap"
#endif
const Row kRows[] = {{0, nullptr, nullptr, nullptr, 0}};
#elif defined(PM_VARIANT_FENNICMENU)
// The standard plugin's rows: kinds and texts as it registers them, no group names.
#define PM_NAME "fennicmenu"
const Row kRows[] = {
    {1, nullptr, "C++ string", "Convert from the string which is copied from C++ source code", 0},
    {2, nullptr, "C++ string", "Convert from currently selected C/C++ source code", 0},
    {3, nullptr, "C++ string", "Convert into C++ string and put into clipboard", 0},
    {4, nullptr, "C++ string", "Create C/C++ program code", 0},
    {1, nullptr, "Java string", "Convert from the string which is copied from Java source code", 0},
    {2, nullptr, "Java string", "Convert from currently selected Java source code", 0},
    {3, nullptr, "Java string", "Convert into Java string and put into clipboard", 0},
    {4, nullptr, "Java string", "Create Java program code", 0},
    {1, nullptr, "Visual Basic string", "Convert from the string which is copied from Visual Basic source code", 0},
    {2, nullptr, "Visual Basic string", "Convert from currently selected Visual Basic source code", 0},
    {3, nullptr, "Visual Basic string", "Convert into Visual Basic string and put into clipboard", 0},
    {4, nullptr, "Visual Basic string", "Create Visual Basic program code", 0},
    {2, nullptr, "Convert HTML Entity", "Convert HTML Entities in selected text( example: &lt;a&gt; => <a> )", 0},
    {2, nullptr, "Remove HTML Tag", "Remove HTML Tags in selected text( example: <p>aaa</p> => aaa )", 0},
    {5, nullptr, "Alternative::Alternative of strings", "Optimize alternative of fixed strings( example: aa|ab|ac => a[abc] )", 0},
    {5, nullptr, "Group::Convert to capture group", "Convert all of selected noncapture groups into capture groups", 0},
    {5, nullptr, "Group::Convert to noncapture group", "Convert all of selected unnamed groups into noncapture groups", 0},
    {0, nullptr, nullptr, nullptr, 0}};
#elif defined(PM_VARIANT_MENUS)
#define PM_NAME "menus"
const Row kRows[] = {
    {3, "one", "First", "", 0},
    {3, "ONE", "Second", "", 0},
    {3, "two", "Pop::Inner::Deep", "", 0},
    {3, "two", "Pop::Flat", "", 0},
    {6, "", "Tools item", "Tools item prompt", 0},
    {0, "", "No menu", "", 0},
    {99, "", "Kind outside the table", "", 0},
    {5, "", "Alone", "", 0},
    {6, "", "Second tools item", "", 0},
    {0, nullptr, nullptr, nullptr, 0}};
#elif defined(PM_VARIANT_THROWING)
#define PM_NAME "throwing"
const Row kRows[] = {
    {3, "", "Throws at load", "", B_THROW_LOAD},
    {3, "", "Throws at update", "", B_THROW_UPDATE | B_THROW_UNLOAD},
    {3, "", "Throws at execute", "", B_REWRITE | B_WRAP | B_THROW_EXECUTE},
    {3, "", "Works", "", B_WRAP},
    {0, nullptr, nullptr, nullptr, 0}};
#elif defined(PM_VARIANT_MANY)
// 600 rows, made at load: two copies of this library pass the host's limit of 1001 commands.
#define PM_NAME "many"
#define PM_ROW_COUNT 600
Row kRows[PM_ROW_COUNT + 1] = {};
#else
#error "no PM_VARIANT_... defined"
#endif

#ifndef PM_ROW_COUNT
#define PM_ROW_COUNT (sizeof(kRows) / sizeof(kRows[0]) - 1)
#endif

// Not std::to_string: its digit table is a process-wide unique symbol, and a library whose
// unique symbol another library binds to can never be unloaded, which would hide whether the
// host released it.
std::string Num(int v) {
  if (v < 0) return "-" + Num(-v);
  std::string s(1, static_cast<char>('0' + v % 10));
  return v >= 10 ? Num(v / 10) + s : s;
}

std::string Narrow(const unsigned short* t, int n) {
  std::string s;
  for (int i = 0; t && i < n; ++i) s += t[i] < 128 ? static_cast<char>(t[i]) : '?';
  return s;
}

void Record(const std::string& what) { PmTestRecord((std::string(PM_NAME) + ":" + what).c_str()); }

const char* CodeName(int code) {
  switch (code) {
    case 1: return "load";
    case 2: return "update";
    case 3: return "execute";
    case 4: return "unload";
    default: return "other";
  }
}

// The first string element below e, depth first; empty if none.
CElement FirstString(const CElement& e) {
  if (e.GetElementType() == 17) return e;
  for (int i = 0; i < e.GetChildrenCount(); ++i) {
    CElement s = FirstString(e.GetChild(i));
    if (s.GetElementType() == 17) return s;
  }
  return CElement();
}

int Dispatch(int code, CPluginContext* context, void* user) {
  const Row& row = *static_cast<const Row*>(user);
  const int index = static_cast<int>(&row - kRows);
  CPluginContext& ctx = *context;
  Record(std::string(CodeName(code)) + ":" + Num(index));
  switch (code) {
    case 1:
      if (row.behaviour & B_THROW_LOAD) throw std::runtime_error("load");
      ctx.SetMenuType(row.kind, row.group);
      ctx.SetMenuText(row.text, row.prompt);
      break;
    case 2:
      if (row.behaviour & B_THROW_UPDATE) throw 42;
      if (row.behaviour & B_ENABLE_ON_SELECTION) {
        const unsigned short* t = nullptr;
        int n = 0;
        ctx.GetSelectedText(t, n);
        ctx.SetMenuEnable(n > 0);
      }
      break;
    case 3: {
      const unsigned short* t = nullptr;
      int n = 0;
      if (row.behaviour & B_WRAP) {
        ctx.GetSelectedText(t, n);
        std::basic_string<unsigned short> s(1, '<');
        s.append(t, n);
        s += '>';
        ctx.SetSelectedText(s.data(), static_cast<int>(s.size()));
      }
      if (row.behaviour & B_REWRITE) {
        const unsigned short xyz[] = {'X', 'Y', 'Z'};
        FirstString(ctx.GetRootElement()).SetText(xyz, 3);
      }
      if (row.behaviour & B_ECHO) {
        std::string r = "echo active=" + Num(ctx.GetActiveWindow());
        ctx.GetSelectedText(t, n);
        r += " sel=" + Narrow(t, n) + (t[n] == 0 ? "" : "(unterminated)");
        r += " flags=" + Num(ctx.GetFlags());
        const char* names[] = {"", "pattern", "text", "replaceto"};
        for (int w = 1; w <= 3; ++w) {
          ctx.GetWindowAllText(w, t, n);
          r += std::string(" ") + names[w] + "=" + Narrow(t, n) + (t[n] == 0 ? "" : "(unterminated)");
        }
        r += " root=" + Num(ctx.GetRootElement().GetElementType());
        CElement current = ctx.GetCurrentElement();
        r += " current=" + Num(current.GetElementType()) + "@" + Num(current.GetOffset());
        r += " groups=" + Num(ctx.GetGroupsCount());
        Record(r);
      }
      if (row.behaviour & B_THROW_EXECUTE) throw std::logic_error("execute");
      break;
    }
    case 4:
      if (row.behaviour & B_THROW_UNLOAD) throw std::runtime_error("unload");
      break;
    default:
      break;
  }
  return code - 1;
}

PluginEntry g_map[PM_ROW_COUNT + 1];

struct Library {
  Library() {
#if defined(PM_VARIANT_MANY)
    for (int i = 0; i < PM_ROW_COUNT; ++i) kRows[i] = {3, "", "Many", "", 0};
#endif
    for (unsigned i = 0; i < PM_ROW_COUNT; ++i) g_map[i] = {Dispatch, const_cast<Row*>(&kRows[i])};
  }
  ~Library() { Record("destroyed"); }
} g_library;

}  // namespace

#if defined(PM_VARIANT_NULLMAP)
PM_EXPORT PluginEntry* GetPluginEntryMap() { return nullptr; }
#elif !defined(PM_VARIANT_NOEXPORT)
PM_EXPORT PluginEntry* GetPluginEntryMap() { return g_map; }
#endif
