#include "catalogue/database.h"

#include "platform/datetime.h"
#include "platform/regini.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mdbsql.h>
#include <optional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zeph::cat {

namespace {

constexpr int kReadTimeoutMs = 10000;
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

// What the child learnt of the file.
struct RawRead {
    enum Stage { OpenFailed, QueryFailed, NoRow, Row } stage = OpenFailed;
    std::string error;
    std::map<std::string, std::optional<std::string>> columns;  // nullopt: NULL
};

void putString(std::string& out, const std::string& s)
{
    uint32_t n = uint32_t(s.size());
    out.append(reinterpret_cast<const char*>(&n), 4);
    out += s;
}

bool getString(const std::string& in, size_t& pos, std::string& s)
{
    uint32_t n;
    if (pos + 4 > in.size()) return false;
    std::memcpy(&n, in.data() + pos, 4);
    pos += 4;
    if (n > in.size() - pos) return false;
    s.assign(in, pos, n);
    pos += n;
    return true;
}

// Runs in the child: the whole Jet read, answered as length-prefixed strings.
std::string readInChild(const std::string& path)
{
    std::string out;
    MdbSQL* sql = mdb_sql_init();
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    if (!mdb_sql_open(sql, name.data())) {
        putString(out, "O");
        putString(out, "Soubor nelze otevřít jako databázi.");
        mdb_sql_exit(sql);
        return out;
    }
    mdb_set_date_fmt(sql->mdb, "%Y-%m-%d %H:%M:%S");
    mdb_sql_run_query(sql, "SELECT * FROM Properties");
    if (mdb_sql_has_error(sql)) {
        putString(out, "Q");
        putString(out, mdb_sql_last_error(sql));
        mdb_sql_exit(sql);
        return out;
    }
    int lens[256] = {};
    unsigned n = std::min(sql->num_columns, 256u);
    for (unsigned i = 0; i < n; ++i) mdb_sql_bind_column(sql, int(i) + 1, nullptr, &lens[i]);
    if (!sql->cur_table || !mdb_sql_fetch_row(sql, sql->cur_table)) {
        putString(out, "N");
        putString(out, "");
        mdb_sql_exit(sql);
        return out;
    }
    putString(out, "R");
    putString(out, "");
    for (unsigned i = 0; i < n; ++i) {
        auto* col = static_cast<MdbSQLColumn*>(g_ptr_array_index(sql->columns, i));
        auto* val = static_cast<char*>(g_ptr_array_index(sql->bound_values, i));
        putString(out, col->name);
        // An empty value of a column that is not text is a NULL.
        putString(out, lens[i] == 0 ? std::string("\x01") : std::string(val ? val : ""));
    }
    mdb_sql_exit(sql);
    return out;
}

std::optional<RawRead> decode(const std::string& reply)
{
    RawRead r;
    size_t pos = 0;
    std::string stage;
    if (!getString(reply, pos, stage) || !getString(reply, pos, r.error)) return std::nullopt;
    if (stage == "O") r.stage = RawRead::OpenFailed;
    else if (stage == "Q") r.stage = RawRead::QueryFailed;
    else if (stage == "N") r.stage = RawRead::NoRow;
    else if (stage == "R") r.stage = RawRead::Row;
    else return std::nullopt;
    while (pos < reply.size()) {
        std::string name, value;
        if (!getString(reply, pos, name) || !getString(reply, pos, value)) return std::nullopt;
        r.columns[name] = value == "\x01" ? std::nullopt : std::optional<std::string>(value);
    }
    return r;
}

// Forks a child for the read; nullopt when it crashed, hung or answered garbage.
std::optional<RawRead> isolatedRead(const std::string& path)
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
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 2);
        if (!kSanitized) {
            rlimit mem{kReadMemoryBytes, kReadMemoryBytes};
            setrlimit(RLIMIT_AS, &mem);
        }
        rlimit cpu{5, 6};
        setrlimit(RLIMIT_CPU, &cpu);
        std::string reply = readInChild(path);
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
    int waited = 0;
    for (;;) {
        pollfd p{pipefd[0], POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r < 0 && errno == EINTR) continue;
        if (r == 0) {
            waited += 100;
            if (waited >= kReadTimeoutMs) {
                timedOut = true;
                break;
            }
            continue;
        }
        char buf[8192];
        ssize_t n = read(pipefd[0], buf, sizeof buf);
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
    return decode(reply);
}

struct FieldError {
    std::string text;
};

std::string required(const RawRead& r, const char* name)
{
    for (auto& [col, val] : r.columns) {
        if (strcasecmp(col.c_str(), name) != 0) continue;
        if (!val) throw FieldError{std::string("Sloupec ") + name + " nemá hodnotu."};
        return *val;
    }
    throw FieldError{std::string("Sloupec ") + name + " v tabulce Properties neexistuje."};
}

int32_t integer(const RawRead& r, const char* name)
{
    std::string v = required(r, name);
    auto n = parseDecimalInt(v);
    if (!n) throw FieldError{std::string("Hodnotu sloupce ") + name + " nelze převést na číslo."};
    return *n;
}

double dateValue(const RawRead& r, const char* name)
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
    if (!raw || raw->stage == RawRead::OpenFailed) {
        std::string why = raw ? raw->error : "Soubor není čitelná databáze.";
        show(prompter, silent, "Nastaly potíže s otevřením databáze: " + path + "\n\r" + " (" + why + ")");
        return p;
    }
    if (raw->stage == RawRead::NoRow) return p;
    try {
        if (raw->stage == RawRead::QueryFailed) throw FieldError{raw->error};
        p.Version = required(*raw, "Version");
        p.LangCombination = integer(*raw, "LangCombination");
        p.Lang1ID = integer(*raw, "Lang1ID");
        p.Lang2ID = integer(*raw, "Lang2ID");
        p.LangShift = integer(*raw, "LangShift");
        p.AvailableDicts = required(*raw, "AvailableDicts");
        p.Date = dateValue(*raw, "Date");
        p.Name = required(*raw, "Name");
        p.UpdateVer = -1;
        for (auto& [col, val] : raw->columns)
            if (strcasecmp(col.c_str(), "UpdateVer") == 0 && val) p.UpdateVer = integer(*raw, "UpdateVer");
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
