// Covered by tests/profile_test.cpp.
#include "platform/profile.h"

#include "platform/program_paths.h"
#include "platform/version.h"

const char CProfile::kOrganization[] = "Korvane";
const char CProfile::kApplication[] = KORVANE_SETTINGS_NAME;

CProfile::CProfile()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kOrganization),
                 QLatin1String(kApplication)) {}

CProfile::CProfile(const QString& iniPath) : m_settings(iniPath, QSettings::IniFormat) {}

std::unique_ptr<CProfile> CProfile::OpenProgramIni() {
  return std::make_unique<CProfile>(CProgramPaths::ProgramPathWithExtension(QStringLiteral(".ini")));
}

QString CProfile::KeyPath(const QString& section, const QString& key) {
  QString path = section;
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return path + QLatin1Char('/') + key;
}

int CProfile::GetInt(const QString& section, const QString& key, int defaultValue) const {
  const QVariant value = m_settings.value(KeyPath(section, key));
  if (!value.isValid()) return defaultValue;
  bool ok = false;
  // Text values (as every INI value is) are parsed; surrounding blanks are tolerated.
  const int number = value.typeId() == QMetaType::QString ? value.toString().trimmed().toInt(&ok)
                                                          : value.toInt(&ok);
  return ok ? number : defaultValue;
}

QString CProfile::GetString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
  const QVariant value = m_settings.value(KeyPath(section, key));
  return value.isValid() ? value.toString() : defaultValue;
}

void CProfile::WriteInt(const QString& section, const QString& key, int value) {
  m_settings.setValue(KeyPath(section, key), value);
}

void CProfile::WriteString(const QString& section, const QString& key, const QString& value) {
  m_settings.setValue(KeyPath(section, key), value);
}

bool CProfile::Flush() {
  m_settings.sync();
  return m_settings.status() == QSettings::NoError;
}
