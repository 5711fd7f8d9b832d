/* Times what a user waits for in a program on an X display: does one click or key press through
 * the XTEST extension and reports, in seconds from that moment,
 *   mapped    when a new window whose title contains NAME became visible (--window NAME);
 *   painted   when that window (or, without --window, the window of --answer) was first drawn
 *             on after the action: the first damage of at least 40 x 40 pixels inside it;
 *   answered  when the program's event loop answered two _NET_WM_PINGs, the second sent on the
 *             reply to the first (a reply can come before input queued with the ping has been
 *             handed out; the second comes after), the first sent once the window was mapped,
 *             or 30 ms after the action when no window is awaited;
 *   cursor_changed  from when to when the pointer showed another cursor than before the action.
 *
 *   xprobe [--in WID] [--click X Y | --key KEYS | --none] [--window NAME] [--answer WID]
 *          [--timeout SECONDS]
 *
 * --in gives the click in that window's own coordinates; KEYS is a key with its modifiers as
 * xdotool writes them ("alt+v", "Escape"); --answer names the window to ping when no new window
 * is awaited (the main window, for a click that changes its page). Exit status 2 when the
 * awaited window or the answer did not come within the timeout (default 60 s).
 * Build: cc -O2 -o xprobe xprobe.c -lX11 -lXtst -lXdamage -lXfixes
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static Display* dpy;
static Window root;

/* The window's title (_NET_WM_NAME, else WM_NAME) contains `name`. */
static int titled(Window w, const char* name) {
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = NULL;
    int found = 0;
    if (XGetWindowProperty(dpy, w, netName, 0, 1024, False, utf8, &type, &format, &n, &after, &data) ==
            Success && data) {
        found = strstr((char*)data, name) != NULL;
        XFree(data);
        return found;
    }
    char* wmName = NULL;
    if (XFetchName(dpy, w, &wmName) && wmName) {
        found = strstr(wmName, name) != NULL;
        XFree(wmName);
    }
    return found;
}

static int viewable(Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
}

/* Every window under `parent` whose title contains `name` and that is viewable, into out[]. */
static int findTitled(Window parent, const char* name, Window* out, int max, int n) {
    Window r, p, *kids = NULL;
    unsigned int count = 0;
    if (!XQueryTree(dpy, parent, &r, &p, &kids, &count)) return n;
    for (unsigned int i = 0; i < count && n < max; ++i) {
        if (titled(kids[i], name) && viewable(kids[i])) out[n++] = kids[i];
        n = findTitled(kids[i], name, out, max, n);
    }
    if (kids) XFree(kids);
    return n;
}

static int ignoreErrors(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

/* The window's rectangle in root coordinates. */
static void rootRect(Window w, int* x, int* y, int* width, int* height) {
    XWindowAttributes a;
    Window child;
    *x = *y = *width = *height = 0;
    if (!XGetWindowAttributes(dpy, w, &a)) return;
    XTranslateCoordinates(dpy, w, root, 0, 0, x, y, &child);
    *width = a.width;
    *height = a.height;
}

static int inside(const XRectangle* r, int x, int y, int w, int h) {
    return r->x < x + w && r->x + r->width > x && r->y < y + h && r->y + r->height > y;
}

static unsigned long cursorSerial(void) {
    XFixesCursorImage* c = XFixesGetCursorImage(dpy);
    unsigned long s = c ? c->cursor_serial : 0;
    if (c) XFree(c);
    return s;
}

static void sendPing(Window target, Atom protocols, Atom ping, long stamp) {
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)ping;
    e.xclient.data.l[1] = stamp;
    e.xclient.data.l[2] = (long)target;
    XSendEvent(dpy, target, False, NoEventMask, &e);
    XFlush(dpy);
}

int main(int argc, char** argv) {
    int clickX = -1, clickY = -1;
    const char* key = NULL;
    const char* name = NULL;
    Window answerWin = 0, in = 0;
    double timeout = 60;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--click") && i + 2 < argc) {
            clickX = atoi(argv[++i]);
            clickY = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--key") && i + 1 < argc) {
            key = argv[++i];
        } else if (!strcmp(argv[i], "--none")) {
        } else if (!strcmp(argv[i], "--window") && i + 1 < argc) {
            name = argv[++i];
        } else if (!strcmp(argv[i], "--answer") && i + 1 < argc) {
            answerWin = (Window)strtoul(argv[++i], NULL, 0);
        } else if (!strcmp(argv[i], "--timeout") && i + 1 < argc) {
            timeout = atof(argv[++i]);
        } else if (!strcmp(argv[i], "--in") && i + 1 < argc) {
            in = (Window)strtoul(argv[++i], NULL, 0);
        } else {
            fprintf(stderr, "usage: xprobe [--in WID] [--click X Y | --key KEYS | --none] [--window NAME] "
                            "[--answer WID] [--timeout S]\n");
            return 1;
        }
    }
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xprobe: no display\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    root = DefaultRootWindow(dpy);
    int damageEvent, damageError, fixesEvent, fixesError;
    if (!XDamageQueryExtension(dpy, &damageEvent, &damageError) ||
        !XFixesQueryExtension(dpy, &fixesEvent, &fixesError)) {
        fprintf(stderr, "xprobe: the display lacks DAMAGE or XFIXES\n");
        return 1;
    }
    XSelectInput(dpy, root, StructureNotifyMask); /* where ping replies come */
    Damage damage = XDamageCreate(dpy, root, XDamageReportRawRectangles);

    /* Windows with the title that are there already are not the one awaited. */
    Window before[64];
    int nBefore = name ? findTitled(root, name, before, 64, 0) : 0;
    if (clickX >= 0 && in) {
        int x, y, w, h;
        rootRect(in, &x, &y, &w, &h);
        clickX += x;
        clickY += y;
    }
    if (clickX >= 0) {  /* the pointer goes there first, so that its own shape there is the start */
        XTestFakeMotionEvent(dpy, -1, clickX, clickY, CurrentTime);
        XSync(dpy, False);
        usleep(100000);
    }
    const unsigned long arrow = cursorSerial();
    XSync(dpy, False);

    /* Damage and ping replies come as events; drain what is queued before the action. */
    while (XPending(dpy)) {
        XEvent e;
        XNextEvent(dpy, &e);
    }

    KeyCode keys[4];
    int nKeys = 0;
    if (key) {
        char buf[128];
        snprintf(buf, sizeof buf, "%s", key);
        for (char* part = strtok(buf, "+"); part && nKeys < 4; part = strtok(NULL, "+")) {
            const char* sym = !strcmp(part, "alt") ? "Alt_L" : !strcmp(part, "ctrl") ? "Control_L"
                              : !strcmp(part, "shift") ? "Shift_L" : part;
            keys[nKeys] = XKeysymToKeycode(dpy, XStringToKeysym(sym));
            if (!keys[nKeys++]) {
                fprintf(stderr, "xprobe: no key %s\n", part);
                return 1;
            }
        }
    }
    const double t0 = now();
    if (clickX >= 0) {
        XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
        XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    } else if (nKeys) {
        for (int k = 0; k < nKeys; ++k) XTestFakeKeyEvent(dpy, keys[k], True, CurrentTime);
        for (int k = nKeys - 1; k >= 0; --k) XTestFakeKeyEvent(dpy, keys[k], False, CurrentTime);
    }
    XFlush(dpy);

    double mapped = -1, painted = -1, answered = -1, busyFrom = -1, busyTo = -1, pinged = -1;
    long pongs = 0;
    struct { XRectangle area; double at; } early[256];  /* damage before the window was found */
    int nEarly = 0;
    double lastMiss = 0;  /* the last search that did not find it */
    Window target = name ? 0 : answerWin;
    int tx = 0, ty = 0, tw = 0, th = 0;
    if (target) rootRect(target, &tx, &ty, &tw, &th);
    const long stamp = (long)(t0 * 1000) & 0x7fffffff;
    Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    double lastFind = 0;
    for (;;) {
        const double t = now() - t0;
        if (t > timeout) break;
        if (name && !target && t - lastFind >= 0.005) {
            lastFind = t;
            Window found[64];
            int n = findTitled(root, name, found, 64, 0);
            for (int i = 0; i < n && !target; ++i) {
                int old = 0;
                for (int j = 0; j < nBefore; ++j) old |= found[i] == before[j];
                if (!old) target = found[i];
            }
            if (target) {
                mapped = now() - t0;
                rootRect(target, &tx, &ty, &tw, &th);
                /* Drawn on between being mapped and being found (the search runs every 5 ms). */
                for (int k = 0; k < nEarly && painted < 0; ++k)
                    if (early[k].at >= lastMiss && inside(&early[k].area, tx, ty, tw, th)) painted = early[k].at;
            } else {
                lastMiss = t;
            }
        }
        if (target && pinged < 0 && (name || t >= 0.03)) {
            sendPing(target, protocols, ping, stamp);
            pinged = t;
        }
        const unsigned long c = cursorSerial();
        if (c != arrow) {
            if (busyFrom < 0) busyFrom = t;
            busyTo = -1;
        } else if (busyFrom >= 0 && busyTo < 0) {
            busyTo = t;
        }
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == damageEvent + XDamageNotify) {
                XDamageNotifyEvent* d = (XDamageNotifyEvent*)&e;
                if (painted < 0 && d->area.width >= 40 && d->area.height >= 40) {
                    const double at = now() - t0;
                    if (target && inside(&d->area, tx, ty, tw, th)) painted = at;
                    else if (!target && nEarly < 256) {
                        early[nEarly].area = d->area;
                        early[nEarly++].at = at;
                    }
                }
            } else if (e.type == ClientMessage && e.xclient.message_type == protocols &&
                       (Atom)e.xclient.data.l[0] == ping && e.xclient.data.l[1] == stamp + pongs &&
                       answered < 0) {
                /* A reply can come before input that was queued with the ping is handed out;
                 * the second ping goes after that has been done. */
                if (++pongs == 2) answered = now() - t0;
                else sendPing(target, protocols, ping, stamp + pongs);
            }
        }
        if (answered >= 0 && painted >= 0 && (busyFrom < 0 || busyTo >= 0)) break;
        if (answered >= 0 && now() - t0 > answered + 1.0) break;  /* nothing drawn after it */
        usleep(2000);
    }
    XDamageDestroy(dpy, damage);
    char m[32], p[32], a[32], b[48];
    snprintf(m, sizeof m, mapped >= 0 ? "%.3f" : (name ? "timeout" : "-"), mapped);
    snprintf(p, sizeof p, painted >= 0 ? "%.3f" : "none", painted);
    snprintf(a, sizeof a, answered >= 0 ? "%.3f" : "timeout", answered);
    if (busyFrom < 0) snprintf(b, sizeof b, "none");
    else if (busyTo < 0) snprintf(b, sizeof b, "%.3f-", busyFrom);
    else snprintf(b, sizeof b, "%.3f-%.3f", busyFrom, busyTo);
    printf("window=0x%lx mapped=%s painted=%s answered=%s cursor_changed=%s\n", (unsigned long)target, m, p,
           a, b);
    return (name && mapped < 0) || answered < 0 ? 2 : 0;
}
