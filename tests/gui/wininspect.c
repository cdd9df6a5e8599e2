/* Reads a Windows program's windows from outside, the way the GUI tests see
 * what a user sees: window texts, the status bar, control values, check
 * states and places. Runs in the same Wine prefix as the program.
 *
 *   wininspect serve            one request per input line, one answer per line
 *   wininspect COMMAND ARGS...  one request, its answer on standard output
 *
 * Every answer is one line: "ok ..." or "err ...". Texts in answers have
 * backslash, line feed and carriage return written as \\, \n and \r.
 * Windows are named by their handle as a decimal number.
 *
 *   list                     visible top-level windows: HWND<TAB>class<TAB>title per entry, separated by \n
 *   find CLASS               handles of the visible top-level windows of that class
 *   wait CLASS MILLISECONDS  the first such handle once one exists
 *   children HWND            HWND<TAB>id<TAB>class<TAB>left,top,right,bottom<TAB>style<TAB>first line of text
 *                            per child, \n-separated
 *   text HWND ID             WM_GETTEXT of the child with control id ID (ID 0: the window itself)
 *   state HWND               text of the hidden "VexelorState" child
 *   status HWND              first part of the status bar (SB_GETTEXTW through the program's memory)
 *   style HWND               the window's style and extended style, in hexadecimal: style,exstyle
 *   parts HWND               the number of parts of the status bar
 *   rect HWND ID             screen rectangle of the child ID (ID 0: the window): left,top,right,bottom
 *   client HWND              screen position of the client area's top-left and its size: x,y,w,h
 *   inner HWND               size of the area inside the frame and caption (menu bar and client area): w,h
 *   canvas HWND              screen rectangle of the "VexelorCanvas" child: left,top,right,bottom
 *   check HWND ID            BM_GETCHECK
 *   enabled HWND ID          1 when the child is enabled
 *   scroll HWND ID           SBM_GETSCROLLINFO: pos,min,max,page,trackpos
 *   spin HWND ID             up-down control ID: pos,min,max (UDM_GETPOS32, UDM_GETRANGE32)
 *   focus HWND               control id and class of the window that has the keyboard focus
 *   hit HWND X Y             WM_NCHITTEST at a screen point
 *   closebox HWND            screen point in the middle of the close box (found by WM_NCHITTEST)
 *   pid HWND                 the process id of the window's owner
 *   xid HWND                 the X window that Wine made for the window (0 on Windows)
 *   alive HWND               1 while the window exists and is visible
 */
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char out[1 << 16];
static size_t outLen;

static void Put(const char* s) {
    size_t n = strlen(s);
    if (outLen + n >= sizeof out - 1) n = sizeof out - 1 - outLen;
    memcpy(out + outLen, s, n);
    outLen += n;
    out[outLen] = 0;
}

static void Putf(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    Put(buf);
}

/* Appends a wide text as UTF-8, escaped so that it stays on one line. */
static void PutText(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    char* s = malloc(n > 0 ? n : 1);
    if (n <= 0 || !WideCharToMultiByte(CP_UTF8, 0, w, -1, s, n, NULL, NULL)) s[0] = 0;
    for (const char* p = s; *p; ++p) {
        if (*p == '\\') Put("\\\\");
        else if (*p == '\n') Put("\\n");
        else if (*p == '\r') Put("\\r");
        else if (*p == '\t') Put("\\t");
        else {
            char c[2] = {*p, 0};
            Put(c);
        }
    }
    free(s);
}

/* SendMessageW that gives up after five seconds on a program that does not answer. */
static LRESULT Send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, 5000, &result)) return 0;
    return (LRESULT)result;
}

static HWND ParseHwnd(const char* s) { return (HWND)(ULONG_PTR)strtoull(s ? s : "0", NULL, 0); }

static HWND Child(HWND w, int id) { return id == 0 ? w : GetDlgItem(w, id); }

/* WM_GETTEXT into a buffer that grows with the text. */
static wchar_t* GetText(HWND w) {
    LRESULT n = Send(w, WM_GETTEXTLENGTH, 0, 0);
    if (n < 0) n = 0;
    wchar_t* buf = calloc((size_t)n + 64, sizeof(wchar_t));
    Send(w, WM_GETTEXT, (WPARAM)(n + 64), (LPARAM)buf);
    return buf;
}

static wchar_t* Widen(const char* s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, NULL, 0);
    wchar_t* w = calloc(n > 0 ? n : 1, sizeof(wchar_t));
    MultiByteToWideChar(CP_UTF8, 0, s, -1, w, n);
    return w;
}

/* Memory inside the window's process, for messages that pass a pointer. */
typedef struct {
    HANDLE process;
    void* at;
    SIZE_T size;
} Remote;

static int RemoteOpen(Remote* r, HWND w, SIZE_T size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    r->size = size;
    r->process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!r->process) return 0;
    r->at = VirtualAllocEx(r->process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!r->at) {
        CloseHandle(r->process);
        return 0;
    }
    return 1;
}

static void RemoteClose(Remote* r) {
    VirtualFreeEx(r->process, r->at, 0, MEM_RELEASE);
    CloseHandle(r->process);
}

static int RemoteWrite(Remote* r, const void* data, SIZE_T n) {
    return WriteProcessMemory(r->process, r->at, data, n, NULL) != 0;
}

static int RemoteRead(Remote* r, void* data, SIZE_T n) {
    return ReadProcessMemory(r->process, r->at, data, n, NULL) != 0;
}

typedef struct {
    const wchar_t* cls;
    int listAll;
    int count;
} FindContext;

static BOOL CALLBACK FindTop(HWND w, LPARAM lp) {
    FindContext* c = (FindContext*)lp;
    if (!IsWindowVisible(w)) return TRUE;
    wchar_t cls[256];
    GetClassNameW(w, cls, 256);
    if (c->listAll) {
        wchar_t* t = GetText(w);
        if (c->count++) Put("\\n");
        Putf("%llu\\t", (unsigned long long)(ULONG_PTR)w);
        PutText(cls);
        Put("\\t");
        PutText(t);
        free(t);
    } else if (wcscmp(cls, c->cls) == 0) {
        Putf("%s%llu", c->count++ ? " " : "", (unsigned long long)(ULONG_PTR)w);
    }
    return TRUE;
}

static BOOL CALLBACK ListChild(HWND w, LPARAM lp) {
    int* count = (int*)lp;
    wchar_t cls[256];
    GetClassNameW(w, cls, 256);
    RECT r;
    GetWindowRect(w, &r);
    if ((*count)++) Put("\\n");
    Putf("%llu\\t%d\\t", (unsigned long long)(ULONG_PTR)w, GetDlgCtrlID(w));
    PutText(cls);
    Putf("\\t%ld,%ld,%ld,%ld\\t%08lx\\t", r.left, r.top, r.right, r.bottom,
         (unsigned long)GetWindowLongW(w, GWL_STYLE));
    wchar_t* t = GetText(w);
    t[wcscspn(t, L"\r\n")] = 0;  /* one line per child */
    PutText(t);
    free(t);
    return TRUE;
}

static const char* Run(int argc, char** argv) {
    const char* cmd = argv[0];
    HWND w = argc > 1 ? ParseHwnd(argv[1]) : NULL;
    int id = argc > 2 ? atoi(argv[2]) : 0;

    if (strcmp(cmd, "list") == 0) {
        FindContext c = {NULL, 1, 0};
        EnumWindows(FindTop, (LPARAM)&c);
        return NULL;
    }
    if (strcmp(cmd, "find") == 0 || strcmp(cmd, "wait") == 0) {
        if (argc < 2) return "missing class";
        wchar_t* cls = Widen(argv[1]);
        DWORD end = GetTickCount() + (argc > 2 ? (DWORD)atoi(argv[2]) : 0);
        FindContext c = {cls, 0, 0};
        for (;;) {
            EnumWindows(FindTop, (LPARAM)&c);
            if (c.count || strcmp(cmd, "find") == 0 || (LONG)(GetTickCount() - end) > 0) break;
            Sleep(20);
        }
        free(cls);
        return c.count || strcmp(cmd, "find") == 0 ? NULL : "timed out";
    }
    if (!IsWindow(w)) return strcmp(cmd, "alive") == 0 ? (Put("0"), NULL) : "no such window";
    if (strcmp(cmd, "alive") == 0) {
        Put(IsWindowVisible(w) ? "1" : "0");
        return NULL;
    }
    if (strcmp(cmd, "pid") == 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        Putf("%lu", (unsigned long)pid);
        return NULL;
    }
    if (strcmp(cmd, "xid") == 0) {
        Putf("%llu", (unsigned long long)(ULONG_PTR)GetPropA(w, "__wine_x11_whole_window"));
        return NULL;
    }
    if (strcmp(cmd, "children") == 0) {
        int count = 0;
        EnumChildWindows(w, ListChild, (LPARAM)&count);
        return NULL;
    }
    if (strcmp(cmd, "client") == 0) {
        RECT r;
        POINT p = {0, 0};
        GetClientRect(w, &r);
        ClientToScreen(w, &p);
        Putf("%ld,%ld,%ld,%ld", p.x, p.y, r.right, r.bottom);
        return NULL;
    }
    if (strcmp(cmd, "style") == 0) {
        Putf("%08lx,%08lx", (unsigned long)GetWindowLongW(w, GWL_STYLE), (unsigned long)GetWindowLongW(w, GWL_EXSTYLE));
        return NULL;
    }
    if (strcmp(cmd, "parts") == 0) {
        HWND bar = FindWindowExW(w, NULL, STATUSCLASSNAMEW, NULL);
        if (!bar) return "no status bar";
        Putf("%ld", (long)Send(bar, SB_GETPARTS, 0, 0));
        return NULL;
    }
    if (strcmp(cmd, "inner") == 0) {
        RECT frame = {0, 0, 0, 0}, r;
        AdjustWindowRectEx(&frame, (DWORD)GetWindowLongW(w, GWL_STYLE), FALSE, (DWORD)GetWindowLongW(w, GWL_EXSTYLE));
        GetWindowRect(w, &r);
        Putf("%ld,%ld", (r.right - r.left) - (frame.right - frame.left), (r.bottom - r.top) - (frame.bottom - frame.top));
        return NULL;
    }
    if (strcmp(cmd, "hit") == 0 || strcmp(cmd, "closebox") == 0) {
        if (strcmp(cmd, "hit") == 0) {
            if (argc < 4) return "missing point";
            Putf("%ld", (long)Send(w, WM_NCHITTEST, 0, MAKELPARAM(atoi(argv[2]), atoi(argv[3]))));
            return NULL;
        }
        RECT r;
        GetWindowRect(w, &r);
        int y0 = -1, y1 = -1, x0 = -1, x1 = -1;
        for (int y = r.top; y < r.top + 60 && y < r.bottom; ++y)
            for (int x = r.right - 60; x < r.right; ++x)
                if (Send(w, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                    if (y0 < 0) y0 = y;
                    y1 = y;
                    if (x0 < 0 || x < x0) x0 = x;
                    if (x > x1) x1 = x;
                }
        if (y0 < 0) return "no close box";
        Putf("%d,%d", (x0 + x1) / 2, (y0 + y1) / 2);
        return NULL;
    }
    if (strcmp(cmd, "focus") == 0) {
        GUITHREADINFO info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, NULL), &info)) return "no thread info";
        wchar_t cls[256] = L"";
        if (info.hwndFocus) GetClassNameW(info.hwndFocus, cls, 256);
        Putf("%d\\t", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : -1);
        PutText(cls);
        return NULL;
    }
    if (strcmp(cmd, "state") == 0 || strcmp(cmd, "canvas") == 0 || strcmp(cmd, "status") == 0) {
        const wchar_t* cls = strcmp(cmd, "state") == 0    ? L"VexelorState"
                             : strcmp(cmd, "canvas") == 0 ? L"VexelorCanvas"
                                                          : STATUSCLASSNAMEW;
        HWND c = FindWindowExW(w, NULL, cls, NULL);
        if (!c) return "no such child";
        if (strcmp(cmd, "canvas") == 0) {
            RECT r;
            GetWindowRect(c, &r);
            Putf("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
            return NULL;
        }
        if (strcmp(cmd, "state") == 0) {
            wchar_t* t = GetText(c);
            PutText(t);
            free(t);
            return NULL;
        }
        LRESULT info = Send(c, SB_GETTEXTLENGTHW, 0, 0);
        SIZE_T n = (SIZE_T)LOWORD(info) + 1;
        Remote r;
        if (!RemoteOpen(&r, c, n * sizeof(wchar_t))) return "no memory in the program";
        wchar_t* buf = calloc(n, sizeof(wchar_t));
        Send(c, SB_GETTEXTW, 0, (LPARAM)r.at);
        RemoteRead(&r, buf, n * sizeof(wchar_t));
        buf[n - 1] = 0;
        RemoteClose(&r);
        PutText(buf);
        free(buf);
        return NULL;
    }

    HWND c = Child(w, id);
    if (!c) return "no such control";
    if (strcmp(cmd, "text") == 0) {
        wchar_t* t = GetText(c);
        PutText(t);
        free(t);
        return NULL;
    }
    if (strcmp(cmd, "rect") == 0) {
        RECT r;
        GetWindowRect(c, &r);
        Putf("%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
        return NULL;
    }
    if (strcmp(cmd, "check") == 0) {
        Putf("%ld", (long)Send(c, BM_GETCHECK, 0, 0));
        return NULL;
    }
    if (strcmp(cmd, "enabled") == 0) {
        Put(IsWindowEnabled(c) ? "1" : "0");
        return NULL;
    }
    if (strcmp(cmd, "scroll") == 0) {
        /* Wine copies the structure across processes itself; Windows does
           not, and there it has to lie in the program's memory. */
        SCROLLINFO si;
        memset(&si, 0, sizeof si);
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        LRESULT ok = Send(c, SBM_GETSCROLLINFO, 0, (LPARAM)&si);
        if (!ok) {
            Remote r;
            if (!RemoteOpen(&r, c, sizeof si)) return "no memory in the program";
            RemoteWrite(&r, &si, sizeof si);
            ok = Send(c, SBM_GETSCROLLINFO, 0, (LPARAM)r.at);
            RemoteRead(&r, &si, sizeof si);
            RemoteClose(&r);
        }
        if (!ok) return "SBM_GETSCROLLINFO failed";
        Putf("%d,%d,%d,%u,%d", si.nPos, si.nMin, si.nMax, si.nPage, si.nTrackPos);
        return NULL;
    }
    if (strcmp(cmd, "spin") == 0) {
        int range[2] = {0, 0};
        Remote r;
        if (!RemoteOpen(&r, c, sizeof range)) return "no memory in the program";
        LRESULT pos = Send(c, UDM_GETPOS32, 0, 0);
        Send(c, UDM_GETRANGE32, (WPARAM)r.at, (LPARAM)((char*)r.at + sizeof(int)));
        RemoteRead(&r, range, sizeof range);
        RemoteClose(&r);
        Putf("%d,%d,%d", (int)pos, range[0], range[1]);
        return NULL;
    }
    return "unknown command";
}

/* Splits a request line at blanks and tabs; a word may be "quoted". */
static int Split(char* line, char** argv, int max) {
    int argc = 0;
    char* p = line;
    while (*p && argc < max) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        if (*p == '"') {
            argv[argc++] = ++p;
            while (*p && *p != '"') ++p;
        } else {
            argv[argc++] = p;
            while (*p && *p != ' ' && *p != '\t') ++p;
        }
        if (*p) *p++ = 0;
    }
    return argc;
}

static int Answer(int argc, char** argv) {
    outLen = 0;
    out[0] = 0;
    const char* err = argc ? Run(argc, argv) : "empty request";
    if (err)
        printf("err %s\n", err);
    else
        printf("ok %s\n", out);
    fflush(stdout);
    return err ? 1 : 0;
}

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "serve") == 0) {
        static char line[4096];
        while (fgets(line, sizeof line, stdin)) {
            line[strcspn(line, "\r\n")] = 0;
            if (strcmp(line, "quit") == 0) break;
            char* args[16];
            Answer(Split(line, args, 16), args);
        }
        return 0;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: wininspect serve | wininspect COMMAND ARGS...\n");
        return 2;
    }
    return Answer(argc - 1, argv + 1);
}
