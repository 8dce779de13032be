// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/layout_store.h"

#include <cmath>

#include "app/document/core/korvane_doc.h"
#include "platform/profile.h"

namespace {
const char kBarStates[] = "BarStates";
const char kSavedStates[] = "SavedStates";
const char kSettings[] = "Settings";
const char kPatternHeight[] = "PatternHeight";

float ClampRatio(float r) { return r < 0.1f ? 0.1f : r > 0.9f ? 0.9f : r; }
}  // namespace

QString CLayoutStore::ModeSection(int mode) {
  switch (mode) {
    case MODE_REPLACE: return QStringLiteral("BarStates\\Replace");
    case MODE_SPLIT: return QStringLiteral("BarStates\\Split");
    case MODE_TRACE: return QStringLiteral("BarStates\\Trace");
    case MODE_OPTIMIZE: return QStringLiteral("BarStates\\Optimize");
    default: return QStringLiteral("BarStates\\Match");
  }
}

int CLayoutStore::SavedStates(const CProfile& profile) {
  return profile.GetInt(QLatin1String(kBarStates), QLatin1String(kSavedStates), 0);
}

bool CLayoutStore::IsSaved(const CProfile& profile, int mode) {
  if (mode < 0 || mode > 5) return false;
  return (SavedStates(profile) & (1 << mode)) != 0;
}

void CLayoutStore::MarkSaved(CProfile& profile, int mode) {
  if (mode < 0 || mode > 5) return;
  profile.WriteInt(QLatin1String(kBarStates), QLatin1String(kSavedStates), SavedStates(profile) | (1 << mode));
}

int CLayoutStore::RatioToPercent(float ratio) {
  return static_cast<int>(std::floor(static_cast<double>(ratio) * 100.0 + 1e-4));
}

void CLayoutStore::ReadRatios(const CProfile& profile, int mode, float* replaceTo, float* textWidth) {
  const QString s = SummarySection(mode);
  *replaceTo = ClampRatio(PercentToRatio(profile.GetInt(s, QStringLiteral("ReplaceToHeight"), kDefaultReplaceToHeight)));
  *textWidth = ClampRatio(PercentToRatio(profile.GetInt(s, QStringLiteral("TextEditWidth"), kDefaultTextEditWidth)));
}

void CLayoutStore::WriteRatios(CProfile& profile, int mode, float replaceTo, float textWidth) {
  const QString s = SummarySection(mode);
  profile.WriteInt(s, QStringLiteral("ReplaceToHeight"), RatioToPercent(replaceTo));
  profile.WriteInt(s, QStringLiteral("TextEditWidth"), RatioToPercent(textWidth));
}

int CLayoutStore::ReadPatternHeight(const CProfile& profile) {
  const int h = profile.GetInt(QLatin1String(kSettings), QLatin1String(kPatternHeight), kDefaultPatternHeight);
  // Values below the minimum are raised; absurdly large ones would hide the work pane.
  if (h < kMinPatternHeight) return kMinPatternHeight;
  return h > 4000 ? kDefaultPatternHeight : h;
}

void CLayoutStore::WritePatternHeight(CProfile& profile, int height) {
  profile.WriteInt(QLatin1String(kSettings), QLatin1String(kPatternHeight), height);
}
