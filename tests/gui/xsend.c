/* Sends what xdotool cannot: a file drop over XDND, and the window manager's
 * close request (WM_DELETE_WINDOW).
 *
 *   xsend drop WINDOW X Y PATH...   drop the files at window-relative X, Y
 *   xsend close WINDOW              ask the window to close
 *
 * The drop plays a minimal XDND source: it owns XdndSelection, sends
 * XdndEnter / XdndPosition / XdndDrop to the target, and answers the
 * target's selection request with a text/uri-list. Exit code 0 once the
 * target has sent XdndFinished (or read the data), 1 on a time-out. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>

static Display* dpy;

static Atom A(const char* name) { return XInternAtom(dpy, name, False); }

static double Now(void) {
    struct timeval tv;
    gettimeofday(&tv, NULL);
    return tv.tv_sec + tv.tv_usec / 1e6;
}

static void SendClient(Window to, Atom type, long d0, long d1, long d2, long d3, long d4) {
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = d0;
    e.xclient.data.l[1] = d1;
    e.xclient.data.l[2] = d2;
    e.xclient.data.l[3] = d3;
    e.xclient.data.l[4] = d4;
    XSendEvent(dpy, to, False, NoEventMask, &e);
    XSync(dpy, False);
}

static void AppendEncoded(char** buf, size_t* len, size_t* cap, const char* s) {
    for (; *s; ++s) {
        if (*len + 4 >= *cap) {
            *cap = *cap * 2 + 64;
            *buf = realloc(*buf, *cap);
        }
        unsigned char c = (unsigned char)*s;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || strchr("/-_.~", c))
            (*buf)[(*len)++] = (char)c;
        else
            *len += (size_t)sprintf(*buf + *len, "%%%02X", c);
    }
    (*buf)[*len] = 0;
}

static int Close(Window target) {
    SendClient(target, A("WM_PROTOCOLS"), (long)A("WM_DELETE_WINDOW"), CurrentTime, 0, 0, 0);
    return 0;
}

static int Drop(Window target, int x, int y, int count, char** paths) {
    size_t len = 0, cap = 256;
    char* list = malloc(cap);
    list[0] = 0;
    for (int i = 0; i < count; ++i) {
        if (len + 8 >= cap) list = realloc(list, cap += 16);
        strcpy(list + len, "file://");
        len += 7;
        AppendEncoded(&list, &len, &cap, paths[i]);
        if (len + 3 >= cap) list = realloc(list, cap += 8);
        strcpy(list + len, "\r\n");
        len += 2;
    }

    Window source = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    Atom uriList = A("text/uri-list"), selection = A("XdndSelection");
    XSetSelectionOwner(dpy, selection, source, CurrentTime);

    int rootX, rootY;
    Window child;
    XTranslateCoordinates(dpy, target, DefaultRootWindow(dpy), x, y, &rootX, &rootY, &child);

    SendClient(target, A("XdndEnter"), (long)source, 5L << 24, (long)uriList, (long)A("text/plain"),
               (long)A("UTF8_STRING"));
    SendClient(target, A("XdndPosition"), (long)source, 0, ((long)rootX << 16) | rootY, CurrentTime,
               (long)A("XdndActionCopy"));

    int dropped = 0, done = 0;
    double deadline = Now() + 5;
    while (!done && Now() < deadline) {
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == ClientMessage && e.xclient.message_type == A("XdndStatus") && !dropped) {
                SendClient(target, A("XdndDrop"), (long)source, 0, CurrentTime, 0, 0);
                dropped = 1;
            } else if (e.type == ClientMessage && e.xclient.message_type == A("XdndFinished")) {
                done = 1;
            } else if (e.type == SelectionRequest) {
                XSelectionRequestEvent* r = &e.xselectionrequest;
                XEvent reply;
                memset(&reply, 0, sizeof reply);
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = r->requestor;
                reply.xselection.selection = r->selection;
                reply.xselection.target = r->target;
                reply.xselection.time = r->time;
                reply.xselection.property = r->property;
                if (r->target == A("TARGETS")) {
                    Atom targets[3] = {uriList, A("text/plain"), XA_STRING};
                    XChangeProperty(dpy, r->requestor, r->property, XA_ATOM, 32, PropModeReplace,
                                    (unsigned char*)targets, 3);
                } else {
                    XChangeProperty(dpy, r->requestor, r->property, r->target, 8, PropModeReplace,
                                    (unsigned char*)list, (int)len);
                }
                XSendEvent(dpy, r->requestor, False, NoEventMask, &reply);
                XFlush(dpy);
                if (dropped && r->target != A("TARGETS")) deadline = Now() + 1;  /* data taken */
            }
        }
        if (!dropped && Now() > deadline - 4) {  /* no status yet: drop anyway */
            SendClient(target, A("XdndDrop"), (long)source, 0, CurrentTime, 0, 0);
            dropped = 1;
        }
        struct timeval tv = {0, 10000};
        select(0, NULL, NULL, NULL, &tv);
    }
    free(list);
    return done || dropped ? 0 : 1;
}

int main(int argc, char** argv) {
    dpy = XOpenDisplay(NULL);
    if (!dpy || argc < 3) {
        fprintf(stderr, "usage: xsend drop WINDOW X Y PATH... | xsend close WINDOW\n");
        return 2;
    }
    Window target = (Window)strtoul(argv[2], NULL, 0);
    if (strcmp(argv[1], "close") == 0) return Close(target);
    if (strcmp(argv[1], "drop") == 0 && argc >= 6) return Drop(target, atoi(argv[3]), atoi(argv[4]), argc - 5, argv + 5);
    fprintf(stderr, "unknown command\n");
    return 2;
}
