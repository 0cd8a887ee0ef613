// The libcurl entry points that our programs call, forwarded to the library opened on the first
// call. Loading it with its dozens of dependencies at start-up costs the control panel about a
// third of its start time, for transfers that most sessions never make.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <cstdarg>
#include <dlfcn.h>

namespace {

struct CurlApi {
    bool ready = false;
    CURLcode (*globalInit)(long) = nullptr;
    CURL* (*easyInit)() = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    void (*easyReset)(CURL*) = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    char* (*easyEscape)(CURL*, const char*, int) = nullptr;
    void (*free)(void*) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
};

template <typename F>
bool bind(void* lib, const char* name, F& fn)
{
    fn = reinterpret_cast<F>(dlsym(lib, name));
    return fn != nullptr;
}

const CurlApi& api()
{
    static const CurlApi loaded = [] {
        CurlApi a;
        void* lib = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return a;
        a.ready = bind(lib, "curl_global_init", a.globalInit) && bind(lib, "curl_easy_init", a.easyInit) &&
                  bind(lib, "curl_easy_setopt", a.easySetopt) && bind(lib, "curl_easy_getinfo", a.easyGetinfo) &&
                  bind(lib, "curl_easy_perform", a.easyPerform) && bind(lib, "curl_easy_reset", a.easyReset) &&
                  bind(lib, "curl_easy_cleanup", a.easyCleanup) && bind(lib, "curl_easy_strerror", a.easyStrerror) &&
                  bind(lib, "curl_easy_escape", a.easyEscape) && bind(lib, "curl_free", a.free) &&
                  bind(lib, "curl_slist_append", a.slistAppend) && bind(lib, "curl_slist_free_all", a.slistFreeAll);
        return a;
    }();
    return loaded;
}

}  // namespace

CURLcode curl_global_init(long flags)
{
    return api().ready ? api().globalInit(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init()
{
    return api().ready ? api().easyInit() : nullptr;
}

// Every option takes one argument whose type its number tells, as the library's own type
// check reads it: long, a data or function pointer, or a file offset.
CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...)
{
    if (!api().ready) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = api().easySetopt(easy, option, va_arg(args, long));
    else if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB)
        result = api().easySetopt(easy, option, va_arg(args, curl_off_t));
    else
        result = api().easySetopt(easy, option, va_arg(args, void*));
    va_end(args);
    return result;
}

// Every query stores its answer through one pointer.
CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...)
{
    if (!api().ready) return CURLE_FAILED_INIT;
    va_list args;
    va_start(args, info);
    CURLcode result = api().easyGetinfo(easy, info, va_arg(args, void*));
    va_end(args);
    return result;
}

CURLcode curl_easy_perform(CURL* easy)
{
    return api().ready ? api().easyPerform(easy) : CURLE_FAILED_INIT;
}

void curl_easy_reset(CURL* easy)
{
    if (api().ready) api().easyReset(easy);
}

void curl_easy_cleanup(CURL* easy)
{
    if (api().ready) api().easyCleanup(easy);
}

const char* curl_easy_strerror(CURLcode code)
{
    return api().ready ? api().easyStrerror(code) : "Knihovnu libcurl nelze načíst";
}

char* curl_easy_escape(CURL* easy, const char* text, int length)
{
    return api().ready ? api().easyEscape(easy, text, length) : nullptr;
}

void curl_free(void* p)
{
    if (api().ready) api().free(p);
}

curl_slist* curl_slist_append(curl_slist* list, const char* text)
{
    return api().ready ? api().slistAppend(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list)
{
    if (api().ready) api().slistFreeAll(list);
}
