/* Times a window from its program's start to the moment its list shows entries, as the X
   server sees it: every window the program makes is watched with the DAMAGE extension, and after
   each change that reaches the screen the list's area is read back; the first time it shows
   the list's light background with dark pixels on it (text, check boxes), the list is painted. Prints the milliseconds from just before
   the start to that change and the program's resident memory then (kB), and ends the program.
   Usage: paintwatch X Y WIDTH HEIGHT TIMEOUT_MS COMMAND [ARGUMENT...]
   (the list's area in the window's own coordinates) */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static int area[4];

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* Windows go away, some take no damage object: such errors are expected and ignored. */
static int ignoreErrors(Display *display, XErrorEvent *error)
{
    (void)display;
    (void)error;
    return 0;
}

static int listPainted(Display *display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable
        || attributes.width < area[0] + area[2] || attributes.height < area[1] + area[3])
        return 0;
    XImage *image = XGetImage(display, window, area[0], area[1], (unsigned)area[2], (unsigned)area[3], AllPlanes, ZPixmap);
    if (!image)
        return 0;
    /* Unpainted, the area is black; painted, it is the list's light background, with text and
       check boxes on it once it holds entries. */
    long dark = 0, light = 0;
    for (int y = 0; y < area[3]; ++y) {
        for (int x = 0; x < area[2]; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const int sum = (int)((pixel >> 16) & 0xff) + (int)((pixel >> 8) & 0xff) + (int)(pixel & 0xff);
            dark += sum < 3 * 110;
            light += sum > 3 * 200;
        }
    }
    XDestroyImage(image);
    return light * 2 > (long)area[2] * area[3] && dark >= 20;
}

static long residentKb(pid_t pid)
{
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE *status = fopen(path, "r");
    long kb = -1;
    while (status && fgets(line, sizeof line, status)) {
        if (strncmp(line, "VmRSS:", 6) == 0)
            kb = atol(line + 6);
    }
    if (status)
        fclose(status);
    return kb;
}

int main(int argc, char **argv)
{
    if (argc < 7)
        return 2;
    for (int i = 0; i < 4; ++i)
        area[i] = atoi(argv[1 + i]);
    const double timeout = atof(argv[5]);
    Display *display = XOpenDisplay(NULL);
    int damageEvent, damageError;
    if (!display || !XDamageQueryExtension(display, &damageEvent, &damageError)) {
        fprintf(stderr, "no X display with the DAMAGE extension\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[6], argv + 6);
        _exit(127);
    }
    double painted = -1;
    long kb = -1;
    Window windows[64];
    int windowCount = 0;
    while (painted < 0 && now() - start < timeout) {
        if (!XPending(display)) {
            struct pollfd wait = {ConnectionNumber(display), POLLIN, 0};
            poll(&wait, 1, 20);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        const double at = now();
        Window changed = 0;
        if (event.type == CreateNotify && windowCount < 64) {
            changed = windows[windowCount++] = event.xcreatewindow.window;
            XDamageCreate(display, changed, XDamageReportNonEmpty);
        } else if (event.type == MapNotify) {
            changed = event.xmap.window;
        } else if (event.type == damageEvent + XDamageNotify) {
            const XDamageNotifyEvent *damage = (const XDamageNotifyEvent *)&event;
            XDamageSubtract(display, damage->damage, None, None);
            changed = damage->drawable;
        }
        if (changed && listPainted(display, changed)) {
            painted = at - start;
            kb = residentKb(child);
        }
    }
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
    XCloseDisplay(display);
    if (painted < 0) {
        fprintf(stderr, "the list was not painted within %.0f ms\n", timeout);
        return 1;
    }
    printf("%.3f %ld\n", painted, kb);
    return 0;
}
