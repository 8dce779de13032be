// Text clips and their file format, without the file itself: the TextClip record, the ordered
// clip list with its add/insert/remove rules, the escaping of a clip text into a double-quoted
// literal and the reading of a clips file's lines back, both done with the engine's own
// patterns. Standard library and engine only (fuzzed on its own); the file, the lock and the
// shared version are in text_clips.h.
//
// A clips file is UTF-16LE without byte-order mark: one line per clip, ended by CR LF, made of
// the clip text as a literal and then the clip's name, raw, up to the line end.
//
// Covered by app/document/files/tests/clips_test.cpp and fuzz/clips_fuzz.cpp.
#ifndef KORVANE_CLIPS_FORMAT_H
#define KORVANE_CLIPS_FORMAT_H

#include <cstddef>
#include <vector>

struct TextClip {
  std::vector<unsigned short> text;
  std::vector<unsigned short> name;  // may be empty
};

// The document's clips, in list order. Texts are unique: two clips never have equal texts
// (same length and code units).
class CTextClipList {
 public:
  // Appends a clip unless one with an equal text exists; returns the index of the new or the
  // existing clip.
  int AddClip(const std::vector<unsigned short>& text, const std::vector<unsigned short>& name);
  // Puts a clip with the text at `index` (clamped to the list): an existing clip with an equal
  // text (keeping its name) is moved there, otherwise a new clip is inserted. Returns where the
  // clip ended up.
  int InsertClip(int index, const std::vector<unsigned short>& text, const std::vector<unsigned short>& name);
  // Out-of-range indexes do nothing.
  void RemoveClip(int index);
  void ClearClips() { m_clips.clear(); }
  int Find(const std::vector<unsigned short>& text) const;

  int Count() const { return static_cast<int>(m_clips.size()); }
  const TextClip& At(int index) const { return m_clips[static_cast<size_t>(index)]; }
  const std::vector<TextClip>& Clips() const { return m_clips; }
  void SetName(int index, const std::vector<unsigned short>& name);

 private:
  friend class CClipsFormat;  // Parse appends texts it has already checked for uniqueness
  std::vector<TextClip> m_clips;
};

class CClipsFormat {
 public:
  // The double-quoted literal of a text: a backslash before ' " and \, every line break as the
  // two characters \n, a backslash before the second of two question marks that come before one
  // of = ( / ) ' < ! > -, and the quotes around it all.
  static std::vector<unsigned short> Escape(const std::vector<unsigned short>& text);
  // Reverses the escapes of a literal's body: \\ \" \' \? give the character, \n, \n\r, \r and
  // \r\n give CR LF, and a backslash before a real line break is dropped.
  static std::vector<unsigned short> Unescape(const unsigned short* body, int length);
  // One line (without its line end): the first double-quoted literal, unescaped, and the rest of
  // the line after it as the name; a line with no literal is the text, with no name.
  static TextClip ParseLine(const unsigned short* line, int length);

  // The same two readings done by the engine with the unescape and literal extraction patterns
  // themselves. Unescape and ParseLine give the same results, an order of magnitude faster: a
  // line that begins with a double quote (every line the program writes) is read without the
  // engine, and ParseLine takes the pattern only for other lines. The fuzz target and the tests
  // hold the two to each other.
  static std::vector<unsigned short> UnescapeWithPattern(const unsigned short* body, int length);
  static TextClip ParseLineWithPattern(const unsigned short* line, int length);

  // The clips of a whole file's code units, in file order: lines split at CR LF, LF CR, CR and
  // LF, empty lines skipped, and a clip whose text repeats an earlier one dropped. Any content
  // gives a result; nothing is allocated beyond a small multiple of the input.
  static CTextClipList Parse(const unsigned short* units, size_t count);
  // The file's code units for the clips. Line breaks in a name would split its line, so they are
  // written as spaces.
  static std::vector<unsigned short> Format(const CTextClipList& clips);
};

#endif
