// Offers one live MPEG-TS stream over SRT to any number of callers at once.
//
//   srtrelay --source HOST:PORT --listen HOST:PORT [--passphrase TEXT] [--keylen 16|24|32]
//            [--latency MS]
//
// The stream is read from a TCP source (the sandbox's live fan-out, which starts
// every connection on a packet boundary) and every 1316-byte chunk (seven
// transport packets, the usual SRT payload) is sent to every connected caller. A
// new caller first gets the tables and the packets since the last video key
// frame, so its picture starts at once. A caller that cannot keep up loses
// chunks, never the others. When the source ends, every caller is closed and the
// relay exits: a stopped encoder looks like a lost stream to its viewers.
#include <srt/srt.h>

#include <arpa/inet.h>
#include <errno.h>
#include <stdint.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#define PACKET 188
#define CHUNK (7 * PACKET)
#define MAX_CALLERS 64
#define VIDEO_PID 0x100 /* the encoder maps video first, from the muxer's first PID */
#define PMT_PID 0x1000
#define MAX_GOP (8 * 1024 * 1024)

static pthread_mutex_t callersLock = PTHREAD_MUTEX_INITIALIZER;
static SRTSOCKET callers[MAX_CALLERS];
static int callerCount = 0;
static volatile int finished = 0;

/* The start a new caller needs, guarded by callersLock. */
static unsigned char pat[PACKET], pmt[PACKET];
static int havePat = 0, havePmt = 0;
static unsigned char *gop = NULL;
static size_t gopBytes = 0;

static void sendStart(SRTSOCKET caller)
{
    unsigned char chunk[CHUNK];
    size_t filled = 0;
    const unsigned char *parts[2] = {havePat ? pat : NULL, havePmt ? pmt : NULL};
    for (int i = 0; i < 2; ++i) {
        if (parts[i]) {
            memcpy(chunk + filled, parts[i], PACKET);
            filled += PACKET;
        }
    }
    for (size_t offset = 0; offset < gopBytes; offset += PACKET) {
        memcpy(chunk + filled, gop + offset, PACKET);
        filled += PACKET;
        if (filled == CHUNK) {
            srt_sendmsg2(caller, (const char *)chunk, CHUNK, NULL);
            filled = 0;
        }
    }
    if (filled > 0)
        srt_sendmsg2(caller, (const char *)chunk, (int)filled, NULL);
}

static void remember(const unsigned char *packet)
{
    const int pid = ((packet[1] & 0x1f) << 8) | packet[2];
    const int keyFrame = pid == VIDEO_PID && (packet[3] & 0x20) && packet[4] > 0 && (packet[5] & 0x40);
    if (pid == 0) {
        memcpy(pat, packet, PACKET);
        havePat = 1;
    } else if (pid == PMT_PID) {
        memcpy(pmt, packet, PACKET);
        havePmt = 1;
    }
    if (keyFrame)
        gopBytes = 0;
    if (gopBytes + PACKET <= MAX_GOP) {
        memcpy(gop + gopBytes, packet, PACKET);
        gopBytes += PACKET;
    }
}

static int parseAddress(const char *text, struct sockaddr_in *address)
{
    char host[64];
    const char *colon = strrchr(text, ':');
    if (!colon || (size_t)(colon - text) >= sizeof host)
        return -1;
    memcpy(host, text, (size_t)(colon - text));
    host[colon - text] = '\0';
    memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons((unsigned short)atoi(colon + 1));
    return inet_pton(AF_INET, host, &address->sin_addr) == 1 ? 0 : -1;
}

static void removeCallerAt(int index)
{
    srt_close(callers[index]);
    callers[index] = callers[--callerCount];
}

static void *acceptLoop(void *argument)
{
    SRTSOCKET listener = *(SRTSOCKET *)argument;
    while (!finished) {
        struct sockaddr_storage peer;
        int peerLength = sizeof peer;
        SRTSOCKET caller = srt_accept(listener, (struct sockaddr *)&peer, &peerLength);
        if (caller == SRT_INVALID_SOCK)
            break; // the listener was closed
        int no = 0;
        srt_setsockflag(caller, SRTO_SNDSYN, &no, sizeof no);
        pthread_mutex_lock(&callersLock);
        if (callerCount < MAX_CALLERS && !finished) {
            sendStart(caller);
            callers[callerCount++] = caller;
        } else {
            srt_close(caller);
        }
        pthread_mutex_unlock(&callersLock);
    }
    return NULL;
}

static void sendToAll(const char *chunk, int length)
{
    pthread_mutex_lock(&callersLock);
    for (int offset = 0; offset + PACKET <= length; offset += PACKET)
        remember((const unsigned char *)chunk + offset);
    for (int i = 0; i < callerCount;) {
        if (srt_sendmsg2(callers[i], chunk, length, NULL) == SRT_ERROR
            && srt_getlasterror(NULL) != SRT_EASYNCSND) {
            removeCallerAt(i);
            continue;
        }
        ++i;
    }
    pthread_mutex_unlock(&callersLock);
}

static int connectSource(const struct sockaddr_in *address)
{
    // The fan-out may still be starting: try for five seconds.
    for (int attempt = 0; attempt < 50; ++attempt) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd >= 0 && connect(fd, (const struct sockaddr *)address, sizeof *address) == 0)
            return fd;
        if (fd >= 0)
            close(fd);
        usleep(100 * 1000);
    }
    return -1;
}

int main(int argc, char **argv)
{
    const char *source = NULL, *listen = NULL, *passphrase = NULL;
    int keyLength = 16, latency = 120;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!strcmp(argv[i], "--source")) source = argv[i + 1];
        else if (!strcmp(argv[i], "--listen")) listen = argv[i + 1];
        else if (!strcmp(argv[i], "--passphrase")) passphrase = argv[i + 1];
        else if (!strcmp(argv[i], "--keylen")) keyLength = atoi(argv[i + 1]);
        else if (!strcmp(argv[i], "--latency")) latency = atoi(argv[i + 1]);
        else {
            fprintf(stderr, "srtrelay: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    struct sockaddr_in sourceAddress, listenAddress;
    if (!source || !listen || parseAddress(source, &sourceAddress) || parseAddress(listen, &listenAddress)) {
        fprintf(stderr, "usage: srtrelay --source HOST:PORT --listen HOST:PORT [--passphrase P] [--keylen N] [--latency MS]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);

    int input = connectSource(&sourceAddress);
    if (input < 0) {
        fprintf(stderr, "srtrelay: cannot reach the source %s: %s\n", source, strerror(errno));
        return 1;
    }

    gop = malloc(MAX_GOP);
    if (!gop)
        return 1;
    srt_startup();
    srt_setloglevel(LOG_ERR);
    SRTSOCKET listener = srt_create_socket();
    int yes = 1;
    srt_setsockflag(listener, SRTO_REUSEADDR, &yes, sizeof yes);
    srt_setsockflag(listener, SRTO_LATENCY, &latency, sizeof latency);
    // The start of a new caller goes out as one burst; loopback takes it at once.
    int64_t maxBandwidth = 1000LL * 1000 * 1000;
    srt_setsockflag(listener, SRTO_MAXBW, &maxBandwidth, sizeof maxBandwidth);
    if (passphrase && *passphrase) {
        srt_setsockflag(listener, SRTO_PASSPHRASE, passphrase, (int)strlen(passphrase));
        srt_setsockflag(listener, SRTO_PBKEYLEN, &keyLength, sizeof keyLength);
    }
    if (srt_bind(listener, (struct sockaddr *)&listenAddress, sizeof listenAddress) == SRT_ERROR
        || srt_listen(listener, 16) == SRT_ERROR) {
        fprintf(stderr, "srtrelay: cannot listen on %s: %s\n", listen, srt_getlasterror_str());
        return 1;
    }
    pthread_t acceptThread;
    pthread_create(&acceptThread, NULL, acceptLoop, &listener);

    char chunk[CHUNK];
    int filled = 0;
    for (;;) {
        ssize_t got = read(input, chunk + filled, (size_t)(CHUNK - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += (int)got;
        if (filled == CHUNK) {
            sendToAll(chunk, CHUNK);
            filled = 0;
        }
    }

    finished = 1;
    srt_close(listener);
    pthread_join(acceptThread, NULL);
    pthread_mutex_lock(&callersLock);
    while (callerCount > 0)
        removeCallerAt(callerCount - 1);
    pthread_mutex_unlock(&callersLock);
    srt_cleanup();
    close(input);
    free(gop);
    return 0;
}
