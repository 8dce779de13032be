// The plugin API of korvane: the only door through which a plugin library reaches the host.
//
// korvane exports these classes; a plugin includes this header and leaves the symbols to be
// resolved from the running program. Everything passes UTF-16 code units (unsigned short) with
// explicit lengths; menu texts are narrow strings in the system code page.
//
// Strings the host returns point into host-owned buffers: they stay valid until the host next
// changes that buffer (the end of the current notification for selection, window texts and the
// pending replacement; the next recompile or SetText for element texts). A plugin never frees
// them. Strings a plugin passes in are copied at once.
//
// CElement is a counted handle to one element record of the compiled pattern. A handle kept
// past a recompile answers as an empty element and stays safe to copy and destroy. Handles may
// be copied and dropped from any thread.
#ifndef KORVANE_PLUGIN_H
#define KORVANE_PLUGIN_H

#if defined(_WIN32)
#if defined(KORVANE_BUILDING_HOST)
#define KORVANE_API __declspec(dllexport)
#else
#define KORVANE_API __declspec(dllimport)
#endif
#else
#define KORVANE_API __attribute__((visibility("default")))
#endif

struct ElementRecord;
struct PluginContextData;

// Element type codes returned by CElement::GetElementType.
enum {
  ZEL_NONE = 0, ZEL_ALTERNATIVE = 1, ZEL_ASSERTION = 2, ZEL_BACKREF = 3, ZEL_BOUNDARY = 4,
  ZEL_BRACKET = 5, ZEL_RECURSIVE = 6, ZEL_EMPTY = 7, ZEL_LASTMATCH = 8, ZEL_GREEDY = 9,
  ZEL_INDEPENDENT = 10, ZEL_LIST = 11, ZEL_POSIX = 12, ZEL_POSSESSIVE = 13, ZEL_CHARSET = 14,
  ZEL_RELUCTANT = 15, ZEL_FIXEDREPEAT = 16, ZEL_STRING = 17, ZEL_CONDITIONAL = 18,
  ZEL_NONCAPTURE_GROUP = 19, ZEL_CAPTURE_GROUP = 20, ZEL_MODE_MODIFIER = 21
};

// Menu kinds of CPluginContext::SetMenuType.
enum {
  ZMENU_NONE = 0, ZMENU_IMPORT_CLIPBOARD = 1, ZMENU_IMPORT_SELECTED = 2, ZMENU_EXPORT_CLIPBOARD = 3,
  ZMENU_EXPORT_CODE = 4, ZMENU_OPTIMIZE = 5, ZMENU_TOOLS = 6
};

// Window indexes of CPluginContext::GetActiveWindow and GetWindowAllText.
enum { ZWND_NONE = 0, ZWND_PATTERN = 1, ZWND_TEXT = 2, ZWND_REPLACETO = 3 };

class KORVANE_API CElement {
 public:
  CElement();
  CElement(const CElement& other);
  CElement& operator=(const CElement& other);
  virtual ~CElement();

  int GetElementType() const;
  int GetChildrenCount() const;
  // Requires 0 <= index < GetChildrenCount(); outside that range the handle is empty.
  CElement GetChild(int index) const;
  int GetOffset() const;
  int GetLength() const;
  // The element's text inside the shared pattern buffer (not terminated at the element's end).
  void GetText(const unsigned short*& text, int& length) const;
  // Replaces the element's text in the shared pattern buffer; the element's children become
  // empty handles and the offsets and lengths of the records around it follow.
  void SetText(const unsigned short* text, int length);
  int GetErrFlag() const;

  // Host side: a handle to a record (counted).
  explicit CElement(ElementRecord* record);

 protected:
  ElementRecord* m_pRecord;
};

// Typed views of a handle; they add no data. Each accessor answers 0 (or an empty string) when
// the handle is empty or of another kind.
class KORVANE_API CZelString : public CElement {
 public:
  CZelString(const CElement& e) : CElement(e) {}
  void GetString(const unsigned short*& text, int& length) const;
  int IsIgnoreCase() const;
  int IsRightLeft() const;
};
class KORVANE_API CZelCombination : public CElement {
 public:
  CZelCombination(const CElement& e) : CElement(e) {}
  int IsRightLeft() const;
};
class KORVANE_API CZelCapture : public CElement {
 public:
  CZelCapture(const CElement& e) : CElement(e) {}
  int GetGroupNo() const;
  const unsigned short* GetGroupName() const;
  int GetBalancingNo() const;
};
class KORVANE_API CZelBracket : public CElement {
 public:
  CZelBracket(const CElement& e) : CElement(e) {}
  int GetGroupNo() const;
  int IsLeftBracket() const;
  const unsigned short* GetGroupName() const;
};
class KORVANE_API CZelBackreference : public CElement {
 public:
  CZelBackreference(const CElement& e) : CElement(e) {}
  int GetGroupNo() const;
  int IsRightLeft() const;
};
class KORVANE_API CZelBoundary : public CElement {
 public:
  CZelBoundary(const CElement& e) : CElement(e) {}
  int GetBoundaryType() const;
  int GetYes() const;
};
class KORVANE_API CZelPosix : public CElement {
 public:
  CZelPosix(const CElement& e) : CElement(e) {}
  int GetYes() const;
  int IsRightLeft() const;
};
class KORVANE_API CZelCharacterset : public CElement {
 public:
  CZelCharacterset(const CElement& e) : CElement(e) {}
  int GetYes() const;
  int IsRightLeft() const;
};
class KORVANE_API CZelConditional : public CElement {
 public:
  CZelConditional(const CElement& e) : CElement(e) {}
  int GetGroupNo() const;
};
class KORVANE_API CZelRecursive : public CElement {
 public:
  CZelRecursive(const CElement& e) : CElement(e) {}
  int GetGroupNo() const;
};
class KORVANE_API CZelGreedy : public CElement {
 public:
  CZelGreedy(const CElement& e) : CElement(e) {}
  int GetMinimum() const;
  int GetMaximum() const;
};
class KORVANE_API CZelReluctant : public CElement {
 public:
  CZelReluctant(const CElement& e) : CElement(e) {}
  int GetMinimum() const;
  int GetMaximum() const;
};
class KORVANE_API CZelPossessive : public CElement {
 public:
  CZelPossessive(const CElement& e) : CElement(e) {}
  int GetMinimum() const;
  int GetMaximum() const;
};
class KORVANE_API CZelFixedrepeat : public CElement {
 public:
  CZelFixedrepeat(const CElement& e) : CElement(e) {}
  int GetMinimum() const;
};
class KORVANE_API CZelAssertion : public CElement {
 public:
  CZelAssertion(const CElement& e) : CElement(e) {}
  int GetYes() const;
};

// Handed to a plugin command at every notification. Every member answers its default (0, an
// empty handle or an empty string) when the handle has no context data.
class KORVANE_API CPluginContext {
 public:
  CPluginContext();
  CPluginContext(const CPluginContext& other);
  CPluginContext& operator=(const CPluginContext& other);
  ~CPluginContext();

  void SetMenuType(int kind, const char* group);
  void SetMenuText(const char* text, const char* prompt);
  void SetMenuEnable(int enable);
  CElement GetRootElement();
  CElement GetCurrentElement();
  int GetGroupsCount();
  CElement GetGroupElement(int n);
  int GetFlags();
  void GetSelectedText(const unsigned short*& text, int& length);
  void SetSelectedText(const unsigned short* text, int length);
  int GetActiveWindow();
  void GetWindowAllText(int window, const unsigned short*& text, int& length);

  // Host side: a context with fresh data (counted).
  explicit CPluginContext(PluginContextData* data);
  PluginContextData* GetData() const { return m_pData; }

 private:
  PluginContextData* m_pData;
};

// What a plugin library exports: GetPluginEntryMap (extern "C", no arguments) returns an array
// of rows that ends with a row whose callback is null. Each row's callback is called with a
// notification code, a context (null for load and unload) and the row's own user data; its
// result is ignored.
typedef int (*PluginCallback)(int code, CPluginContext* context, void* userData);
struct PluginEntry {
  PluginCallback callback;
  void* userData;
};
typedef PluginEntry* (*GetPluginEntryMapProc)();

// Notification codes.
enum { PLUGIN_LOAD = 1, PLUGIN_UPDATE = 2, PLUGIN_EXECUTE = 3, PLUGIN_UNLOAD = 4 };

#endif
