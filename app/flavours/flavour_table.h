// The flavours Korvane can compare a pattern with: each one's name (as the command line and
// the workspace spell it), the name shown, how its runner process starts, and the Debian package
// that brings its runtime when it is missing. `korvane` is Korvane's own engine, searched in this
// process (korvane_column.h); every other flavour runs in a runner process of its own
// (flavour_runner.h), never in this one.
//
// Where the runners are: the folder named by the environment variable KORVANE_RUNNERS_DIR, else
// share/korvane/runners beside the program's bin folder (an installed program), else the build
// tree's runners folder, compiled in.
//
// Covered by app/flavours/tests/flavour_table_test.cpp.
#ifndef KORVANE_FLAVOURS_FLAVOUR_TABLE_H
#define KORVANE_FLAVOURS_FLAVOUR_TABLE_H

#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

struct FlavourInfo {
  const char* name;         // "python"
  const char* display;      // "Python (re)"
  // The runner: an interpreter and a script in the runners folder, or (interpreter empty) an
  // executable in the runners folder. Empty runner: computed in process (korvane).
  const char* interpreter;  // "python3"; a per-flavour setting may replace it
  const char* runner;       // "runner.py", or for java the class file it needs
  const char* arguments;    // what follows the runner file on the command line, blank-separated
  const char* package;      // the Debian package(s) to install when the runtime is missing
  bool InProcess() const { return !runner || !*runner; }
};

// How a runner process is started.
struct FlavourLaunch {
  QString flavour;
  QString program;           // the interpreter or the runner executable, as found
  QStringList arguments;
  QString runnerFile;        // the file in the runners folder the command needs (checked before start)
  QString package;
  QString notInstalled;      // set when the program cannot be found: the message for the cell
};

// Per-flavour choices of the user: another interpreter (a path, or a name looked up in PATH).
struct FlavourSettings {
  QMap<QString, QString> interpreters;  // flavour name -> interpreter
  // The settings from the environment: KORVANE_<NAME>_INTERPRETER, the name upper-cased with
  // '-' written '_' (KORVANE_PYTHON_REGEX_INTERPRETER).
  static FlavourSettings FromEnvironment();
  // The user's settings (the per-user store, section "Flavours\Interpreters", one key per
  // flavour name), each overridden by the environment's where that is set.
  static FlavourSettings Current();
  // Stores the user's interpreter of a flavour that runs on one; empty goes back to the table's.
  static void SetInterpreter(const QString& flavour, const QString& interpreter);
  // The user's own setting alone (not the environment's), empty when there is none.
  static QString StoredInterpreter(const QString& flavour);
};

// Every flavour, korvane first, in the order of the matrix's columns.
const std::vector<FlavourInfo>& AllFlavours();
// The flavour of that name, or null.
const FlavourInfo* FindFlavour(const QString& name);
// The names of every flavour, in table order.
QStringList FlavourNames();

// The runners folder (see the top of this file).
QString RunnersFolder();
// How to start the runner of `info` from `runnersFolder`; `notInstalled` says why it cannot be
// started when its interpreter or executable is missing.
FlavourLaunch LaunchFor(const FlavourInfo& info, const QString& runnersFolder, const FlavourSettings& settings);
// Whether the flavour is known and its runner can be started from the runners folder with the
// environment's interpreter settings (the tests that need a real engine skip without it).
bool FlavourInstalled(const QString& name);

#endif
