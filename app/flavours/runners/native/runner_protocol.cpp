// runner_protocol.cpp: the request loop of the native runners (see runner_protocol.h).
#include "runner_protocol.h"

#include "runner_json.h"

#include <pthread.h>

#include <cmath>
#include <cstdio>
#include <iostream>

namespace korvane_runner {

namespace {

constexpr size_t kLoopStackBytes = size_t(256) << 20;

void WriteLine(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string HelloLine(const SHello& hello)
{
    std::string line = "{\"hello\":\"korvane-runner\",\"protocol\":1,\"flavour\":";
    AppendJsonUtf8(line, hello.flavour);
    line += ",\"engine\":";
    AppendJsonUtf8(line, hello.engine);
    line += ",\"version\":";
    AppendJsonUtf8(line, hello.version);
    line += ",\"unit\":";
    AppendJsonUtf8(line, hello.unit);
    line += ",\"surrogates\":";
    line += hello.surrogates ? "true" : "false";
    line += '}';
    return line;
}

// Reads a count field: absent gives the default; a negative, fractional-only or non-number value
// is an error. Large values are clamped (a JSON number may be beyond long long).
bool ReadCount(const CJsonValue& object, const char* key, long long fallback, long long& out, std::string& error)
{
    const CJsonValue* value = object.Find(key);
    if (!value) {
        out = fallback;
        return true;
    }
    if (value->kind != CJsonValue::EKind::Number || !(value->number >= 0)) {
        error = std::string(key) + " must be a number of at least 0";
        return false;
    }
    out = value->number > 1e15 ? static_cast<long long>(1e15) : static_cast<long long>(std::floor(value->number));
    return true;
}

bool ReadLetters(const CJsonValue& object, const char* key, std::string& out, std::string& error)
{
    out.clear();
    const CJsonValue* value = object.Find(key);
    if (!value || value->kind == CJsonValue::EKind::Null)
        return true;
    if (value->kind != CJsonValue::EKind::String) {
        error = std::string(key) + " must be a string";
        return false;
    }
    for (const char16_t unit : value->text) {
        if (unit < 0x21 || unit > 0x7E) {
            error = std::string(key) + " must hold ASCII letters only";
            return false;
        }
        out += static_cast<char>(unit);
    }
    return true;
}

void ServeLoop(CFlavour& flavour)
{
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        SRequest request;
        std::string idJson;
        std::string error;
        if (!ParseRequest(line, request, idJson, error)) {
            std::string answer = "{\"id\":" + idJson + ",\"fatal\":";
            AppendJsonUtf8(answer, "bad request: " + error);
            answer += '}';
            WriteLine(answer);
            continue;
        }
        const std::string head = "{\"id\":" + request.idJson;
        const SCompileResult compiled = flavour.Compile(request);
        if (!compiled.compiled) {
            std::string answer = head + ",\"compiled\":false,\"error\":";
            AppendJsonUtf8(answer, compiled.error);
            answer += ",\"offset\":" + std::to_string(compiled.errorOffset) + '}';
            WriteLine(answer);
            WriteLine(head + ",\"done\":true}");
            continue;
        }
        std::string answer = head + ",\"compiled\":true,\"groups\":" + std::to_string(compiled.groups) + ",\"names\":[";
        for (size_t i = 0; i < compiled.names.size(); ++i) {
            if (i)
                answer += ',';
            answer += '[';
            AppendJsonString(answer, compiled.names[i].first);
            answer += ',' + std::to_string(compiled.names[i].second) + ']';
        }
        answer += "]}";
        WriteLine(answer);
        for (size_t s = 0; s < request.subjects.size(); ++s) {
            std::string out = head + ",\"subject\":" + std::to_string(s) + ",\"status\":";
            if (!request.subjects[s]) {
                WriteLine(out + "\"skipped\"}");
                continue;
            }
            const SSubjectResult result = flavour.Run(*request.subjects[s], request);
            switch (result.status) {
            case SSubjectResult::EStatus::Timeout:
                WriteLine(out + "\"timeout\"}");
                continue;
            case SSubjectResult::EStatus::Error:
                out += "\"error\",\"error\":";
                AppendJsonUtf8(out, result.error);
                WriteLine(out + '}');
                continue;
            case SSubjectResult::EStatus::Ok:
                break;
            }
            out += "\"ok\",\"matches\":[";
            for (size_t m = 0; m < result.matches.size(); ++m) {
                if (m)
                    out += ',';
                out += '[';
                for (size_t k = 0; k < result.matches[m].size(); ++k) {
                    if (k)
                        out += ',';
                    out += std::to_string(result.matches[m][k]);
                }
                out += ']';
            }
            out += "],\"truncated\":";
            out += result.truncated ? "true}" : "false}";
            WriteLine(out);
        }
        WriteLine(head + ",\"done\":true}");
    }
}

struct SLoopArgs {
    CFlavour* flavour;
};

void* LoopThread(void* raw)
{
    ServeLoop(*static_cast<SLoopArgs*>(raw)->flavour);
    return nullptr;
}

}  // namespace

std::string CheckFlagLetters(const std::string& letters, const std::string& known, const std::string& engineName,
                             bool generic)
{
    for (const char letter : letters)
        if (known.find(letter) == std::string::npos)
            return engineName + " has no " + letter + (generic ? " flag" : " option letter");
    return std::string();
}

std::string CheckRequestFlags(const SRequest& request, const std::string& generic, const std::string& native,
                              const std::string& engineName)
{
    const std::string bad = CheckFlagLetters(request.flags, generic, engineName, true);
    return bad.empty() ? CheckFlagLetters(request.nativeFlags, native, engineName, false) : bad;
}

bool ParseRequest(const std::string& line, SRequest& request, std::string& idJson, std::string& error)
{
    idJson = "null";
    CJsonValue root;
    if (!ParseJsonLine(line, root, error))
        return false;
    if (root.kind != CJsonValue::EKind::Object) {
        error = "a request must be a JSON object";
        return false;
    }
    const CJsonValue* id = root.Find("id");
    if (id && id->kind == CJsonValue::EKind::Number) {
        idJson = id->numberText;
    } else if (id && id->kind == CJsonValue::EKind::String) {
        idJson.clear();
        AppendJsonString(idJson, id->text);
    } else {
        error = "id must be a number or a string";
        return false;
    }
    request.idJson = idJson;
    const CJsonValue* pattern = root.Find("pattern");
    if (!pattern || pattern->kind != CJsonValue::EKind::String) {
        error = "pattern must be a string";
        return false;
    }
    request.pattern = pattern->text;
    if (!ReadLetters(root, "flags", request.flags, error) || !ReadLetters(root, "native_flags", request.nativeFlags, error))
        return false;
    const CJsonValue* subjects = root.Find("subjects");
    if (!subjects || subjects->kind != CJsonValue::EKind::Array) {
        error = "subjects must be an array";
        return false;
    }
    for (const CJsonValue& subject : subjects->items) {
        if (subject.kind == CJsonValue::EKind::Null) {
            request.subjects.emplace_back();
        } else if (subject.kind == CJsonValue::EKind::String) {
            request.subjects.emplace_back(subject.text);
        } else {
            error = "each subject must be a string or null";
            return false;
        }
    }
    return ReadCount(root, "timeout_ms", 1000, request.timeoutMs, error) &&
           ReadCount(root, "max_matches", 10000, request.maxMatches, error);
}

int RunRunner(CFlavour& flavour)
{
    std::ios::sync_with_stdio(false);
    WriteLine(HelloLine(flavour.Hello()));
    SLoopArgs args{&flavour};
    pthread_attr_t attr;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attr) == 0) {
        if (pthread_attr_setstacksize(&attr, kLoopStackBytes) == 0)
            started = pthread_create(&thread, &attr, &LoopThread, &args) == 0;
        pthread_attr_destroy(&attr);
    }
    if (started)
        pthread_join(thread, nullptr);
    else
        ServeLoop(flavour);  // no big stack to be had: serve on the main thread rather than not at all
    return 0;
}

}  // namespace korvane_runner
