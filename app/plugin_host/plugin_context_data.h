// What a CPluginContext handle refers to: the host's record of one plugin command. Created by the
// plugin host once per command and refilled before every update and execute notification; used
// on the user-interface thread only (no lock).
#ifndef KORVANE_PLUGIN_CONTEXT_DATA_H
#define KORVANE_PLUGIN_CONTEXT_DATA_H

#include <string>
#include <vector>

#include "app/plugin_host/element_handles.h"

struct PluginContextData {
  // Kept between notifications.
  std::string menuText;   // "::" separates submenu levels
  std::string prompt;
  std::string groupName;
  int menuKind = 0;
  int enabled = 1;

  // Refilled by the host before each notification.
  CElement root;
  CElement current;
  const HostRegexp* pattern = nullptr;     // for the group table
  const CElementTree* tree = nullptr;      // to find the group table's records
  int flags = 0;
  const unsigned short* selection = nullptr;
  int selectionLength = 0;
  std::vector<unsigned short> pending;     // zero-terminated pending replacement
  int replaced = 0;
  const unsigned short* patternText = nullptr;
  int patternLength = 0;
  const unsigned short* subjectText = nullptr;
  int subjectLength = 0;
  const unsigned short* replaceToText = nullptr;
  int replaceToLength = 0;
  int activeWindow = 0;

  int refCount = 0;  // handles sharing this data; freed at zero
};

#endif
