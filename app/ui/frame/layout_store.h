// Where the frame keeps one window layout per work mode, and the program's own keys beside the
// docking framework's: the bit set "SavedStates" (bit m: mode m was saved), the mode sections
// "BarStates\Match" ... (mode 0, none, uses Match), the ratios in "<section>-Summary" as whole
// per cents, and "PatternHeight" (at least 30). Garbage values read as the defaults.
//
// Covered by app/ui/tests/frame_test.cpp (layout rows).
#ifndef KORVANE_LAYOUT_STORE_H
#define KORVANE_LAYOUT_STORE_H

#include <QString>

class CProfile;

class CLayoutStore {
 public:
  static constexpr int kDefaultPatternHeight = 100;
  static constexpr int kMinPatternHeight = 30;
  static constexpr int kDefaultReplaceToHeight = 20;  // per cent
  static constexpr int kDefaultTextEditWidth = 50;    // per cent

  // "BarStates\Match", "BarStates\Replace", ...; mode 0 and unknown modes use Match.
  static QString ModeSection(int mode);
  static QString SummarySection(int mode) { return ModeSection(mode) + QStringLiteral("-Summary"); }

  static int SavedStates(const CProfile& profile);
  static bool IsSaved(const CProfile& profile, int mode);
  static void MarkSaved(CProfile& profile, int mode);

  // A ratio as a whole per cent, truncated (0.456 gives 45). A hair of tolerance keeps a ratio
  // read back from a per cent (0.45f is a little below 0.45) at the same per cent.
  static int RatioToPercent(float ratio);
  static float PercentToRatio(int percent) { return static_cast<float>(percent) * 0.01f; }
  // The two ratios of a mode, each kept to 0.1 .. 0.9.
  static void ReadRatios(const CProfile& profile, int mode, float* replaceTo, float* textWidth);
  static void WriteRatios(CProfile& profile, int mode, float replaceTo, float textWidth);

  static int ReadPatternHeight(const CProfile& profile);
  static void WritePatternHeight(CProfile& profile, int height);
};

#endif
