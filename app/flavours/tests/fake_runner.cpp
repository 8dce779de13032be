// A runner for the client's tests, driven by its arguments: it speaks the protocol with a plain
// literal find-all (the pattern is searched as text, every occurrence, no groups) and misbehaves
// as asked:
//
//   fake_runner UNIT SURROGATES [BEHAVIOUR]
//     UNIT        utf16 | codepoint | utf8: the unit of every offset it prints
//     SURROGATES  yes | no: what its hello says
//     BEHAVIOUR   good (default); crash (aborts on a subject "CRASH"); hang (never answers a
//                 subject "HANG"); garbage (prints a line that is not JSON for every request);
//                 huge (prints a line of 100 MB for every request); endless (prints
//                 without end and never a line break); slow (200 ms before each
//                 subject's answer); nohello (never says hello); fatal (answers every request
//                 with a fatal line); exit (exits with code 3 on the first request)
//   fake_runner ANYTHING-ELSE...   (started in place of an interpreter) a good utf16 runner
//
// A pattern "!" is a compile error at offset 0 (in UTF-16 units, as the protocol says).
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

void Print(const QJsonObject& o) {
  const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact);
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The offset of UTF-16 offset `at` of `s` in `unit`.
int InUnit(const QString& s, int at, const std::string& unit) {
  if (unit == "utf16") return at;
  if (unit == "utf8") return static_cast<int>(s.left(at).toUtf8().size());
  int n = 0;
  for (int i = 0; i < at; ++i) {
    if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ++i;
    ++n;
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  // Started in place of an interpreter ("fake runner.pl"), it is a good UTF-16 runner.
  const bool asInterpreter = argc > 1 && std::strcmp(argv[1], "utf16") != 0 && std::strcmp(argv[1], "codepoint") != 0 &&
                             std::strcmp(argv[1], "utf8") != 0;
  const std::string unit = argc > 1 && !asInterpreter ? argv[1] : "utf16";
  const bool surrogates = asInterpreter || (argc > 2 && std::strcmp(argv[2], "yes") == 0);
  const std::string behaviour = argc > 3 && !asInterpreter ? argv[3] : "good";
  if (behaviour == "nohello") {
    for (;;) QThread::sleep(1);
  }
  QJsonObject hello{{"hello", "korvane-runner"}, {"protocol", 1},        {"flavour", "fake"},
                    {"engine", "Fake engine"},    {"version", "1.0"},    {"unit", QString::fromStdString(unit)},
                    {"surrogates", surrogates}};
  Print(hello);
  std::string raw;
  while (std::getline(std::cin, raw)) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(raw));
    if (!doc.isObject()) {
      Print(QJsonObject{{"id", QJsonValue::Null}, {"fatal", "bad request: not a JSON object"}});
      continue;
    }
    const QJsonObject req = doc.object();
    const QJsonValue id = req.value("id");
    if (behaviour == "garbage") {
      std::puts("this is not JSON");
      std::fflush(stdout);
      continue;
    }
    if (behaviour == "huge") {
      const std::string chunk(1 << 20, 'x');
      for (int i = 0; i < 100; ++i) std::fwrite(chunk.data(), 1, chunk.size(), stdout);
      std::fputc('\n', stdout);
      std::fflush(stdout);
      continue;
    }
    if (behaviour == "endless") {
      const std::string chunk(1 << 20, 'x');
      for (;;) std::fwrite(chunk.data(), 1, chunk.size(), stdout);
    }
    if (behaviour == "fatal") {
      Print(QJsonObject{{"id", QJsonValue::Null}, {"fatal", "bad request: told to refuse"}});
      continue;
    }
    if (behaviour == "exit") return 3;
    const QString pattern = req.value("pattern").toString();
    if (pattern == QLatin1String("!")) {
      Print(QJsonObject{{"id", id}, {"compiled", false}, {"error", "nothing to repeat"}, {"offset", 0}});
      Print(QJsonObject{{"id", id}, {"done", true}});
      continue;
    }
    Print(QJsonObject{{"id", id}, {"compiled", true}, {"groups", 0}, {"names", QJsonArray()}});
    const QJsonArray subjects = req.value("subjects").toArray();
    const int maxMatches = req.value("max_matches").toInt(10000);
    for (int i = 0; i < subjects.size(); ++i) {
      if (behaviour == "slow") QThread::msleep(200);
      if (subjects[i].isNull()) {
        Print(QJsonObject{{"id", id}, {"subject", i}, {"status", "skipped"}});
        continue;
      }
      const QString s = subjects[i].toString();
      if (behaviour == "crash" && s == QLatin1String("CRASH")) std::abort();
      if (behaviour == "hang" && s == QLatin1String("HANG")) {
        for (;;) QThread::sleep(1);
      }
      QJsonArray matches;
      bool truncated = false;
      if (!pattern.isEmpty()) {
        for (int at = s.indexOf(pattern); at >= 0; at = s.indexOf(pattern, at + static_cast<int>(pattern.size()))) {
          if (matches.size() >= maxMatches) {
            truncated = true;
            break;
          }
          matches.append(QJsonArray{InUnit(s, at, unit), InUnit(s, at + static_cast<int>(pattern.size()), unit)});
        }
      }
      Print(QJsonObject{{"id", id}, {"subject", i}, {"status", "ok"}, {"matches", matches}, {"truncated", truncated}});
    }
    Print(QJsonObject{{"id", id}, {"done", true}});
  }
  return 0;
}
