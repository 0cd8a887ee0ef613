#include "catalogue/database.h"

#include "catalogue/properties_row.h"

#include "platform/datetime.h"
#include "platform/regini.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zeph::cat {

namespace {

// A good descriptor reads in about a millisecond; these bounds only stop a hostile file.
constexpr int kReadTimeoutMs = 5000;
constexpr rlim_t kReadCpuSeconds = 3;
constexpr rlim_t kReadMemoryBytes = rlim_t(512) << 20;
constexpr size_t kMaxReply = 1 << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Forks a child for the read; nullopt when it crashed, hung or answered garbage.
std::optional<PropertiesRow> isolatedRead(const std::string& path)
{
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) return std::nullopt;
    pid_t pid = fork();
    if (pid < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        // The Jet library reports on stderr by itself: keep the caller's stderr clean.
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        if (!kSanitized) {
            rlimit mem{kReadMemoryBytes, kReadMemoryBytes};
            setrlimit(RLIMIT_AS, &mem);
        }
        rlimit cpu{kReadCpuSeconds, kReadCpuSeconds + 1};
        setrlimit(RLIMIT_CPU, &cpu);
        rlimit noWrites{0, 0};  // the read never writes a file
        setrlimit(RLIMIT_FSIZE, &noWrites);
        std::string reply = EncodeReply(ReadPropertiesRow(path));
        for (size_t done = 0; done < reply.size();) {
            ssize_t w = write(pipefd[1], reply.data() + done, reply.size() - done);
            if (w <= 0) break;
            done += size_t(w);
        }
        _exit(0);
    }
    close(pipefd[1]);
    std::string reply;
    bool timedOut = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{pipefd[0], POLLIN, 0};
        int r = poll(&p, 1, int(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) continue;
        char buf[8192];
        ssize_t n = read(pipefd[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        reply.append(buf, size_t(n));
        if (reply.size() > kMaxReply) {
            timedOut = true;
            break;
        }
    }
    close(pipefd[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return DecodeReply(reply);
}

struct FieldError {
    std::string text;
};

std::string required(const PropertiesRow& r, const char* name)
{
    for (auto& [col, val] : r.columns) {
        if (strcasecmp(col.c_str(), name) != 0) continue;
        if (!val) throw FieldError{std::string("Sloupec ") + name + " nemá hodnotu."};
        return *val;
    }
    throw FieldError{std::string("Sloupec ") + name + " v tabulce Properties neexistuje."};
}

int32_t integer(const PropertiesRow& r, const char* name)
{
    std::string v = required(r, name);
    auto n = parseDecimalInt(v);
    if (!n) throw FieldError{std::string("Hodnotu sloupce ") + name + " nelze převést na číslo."};
    return *n;
}

double dateValue(const PropertiesRow& r, const char* name)
{
    std::string v = required(r, name);
    dt::DateTime t;
    char tail = 0;
    int got = std::sscanf(v.c_str(), "%d-%d-%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second, &tail);
    if (got != 6 || !dt::isValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59)
        throw FieldError{std::string("Hodnotu sloupce ") + name + " nelze převést na datum."};
    return dt::toSerial(t);
}

void show(Prompter* prompter, bool silent, const std::string& text)
{
    if (!silent && prompter) prompter->message("Otevřít", text, Icon::Error, Buttons::Ok);
}

}  // namespace

TDatabaseProperties ReadDatabaseProperties(const std::string& path, bool silent, Prompter* prompter)
{
    TDatabaseProperties p;
    auto raw = isolatedRead(path);
    if (!raw || raw->stage == PropertiesRow::OpenFailed) {
        std::string why = raw ? raw->error : "Soubor není čitelná databáze.";
        show(prompter, silent, "Nastaly potíže s otevřením databáze: " + path + "\n\r" + " (" + why + ")");
        return p;
    }
    if (raw->stage == PropertiesRow::NoRow) return p;
    try {
        if (raw->stage == PropertiesRow::QueryFailed) throw FieldError{raw->error};
        p.Version = required(*raw, "Version");
        p.LangCombination = integer(*raw, "LangCombination");
        p.Lang1ID = integer(*raw, "Lang1ID");
        p.Lang2ID = integer(*raw, "Lang2ID");
        p.LangShift = integer(*raw, "LangShift");
        p.AvailableDicts = required(*raw, "AvailableDicts");
        p.Date = dateValue(*raw, "Date");
        p.Name = required(*raw, "Name");
        // UpdateVer is optional and otherwise unused: absent, NULL or not a number all read as -1,
        // so a database is never refused, nor a message shown, for it alone.
        p.UpdateVer = -1;
        for (auto& [col, val] : raw->columns)
            if (strcasecmp(col.c_str(), "UpdateVer") == 0) {
                if (val) p.UpdateVer = parseDecimalInt(*val).value_or(-1);
                break;
            }
    } catch (const FieldError& e) {
        show(prompter, silent, "Databáze neobsahuje informační tabulku!\n\r (" + e.text + ")");
    }
    return p;
}

const NameTables& FillNameTables()
{
    static const NameTables tables = {
        {{{"Česko", "český"}, {"Anglicko", "anglický"}, {"Německo", "německý"}, {"Francouzsko", "francouzský"},
          {"Rusko", "ruský"}, {"Španělsko", "španělský"}, {"Polsko", "polský"}, {"", ""}, {"", ""}}},
        {"Uživatelský", "Všeobecný - základní", "Všeobecný - rozšířený", "Všeobecný - konverzace",
         "Technický - obecně", "Technický - strojírenské obory", "Technický - stavební obory, architektura, atd...",
         "Technický - elektrotechnika, počítače, internet, atd...", "Obchodně-právnický", "Chemicko-lékařský",
         "Přírodovědný", "Humanitní podobory", "Speciální podobory", "Vojenský", "Americká angličtina",
         "Obchodní korespondence", "<rezerva>"},
    };
    return tables;
}

std::string CombinationText(int32_t lang1, int32_t lang2)
{
    auto& t = FillNameTables().languages;
    auto form = [&](int32_t n, bool first) -> std::string {
        if (n < 0 || n >= int32_t(t.size())) return "";
        return first ? t[n].first : t[n].second;
    };
    return form(lang1, true) + "-" + form(lang2, false);
}

}  // namespace zeph::cat
