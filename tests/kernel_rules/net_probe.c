/* A program the preloaded filter never sees: linked statically, it talks to the network by
 * plain system calls. Prints "ok <answer>" or "error <errno name>" for each attempt.
 *   net_probe tcp|udp HOST PORT
 *   net_probe download SECONDS HOST PORT   (one TCP exchange a second, each line timed) */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

static socklen_t address(const char* host, int port, struct sockaddr_storage* out) {
    memset(out, 0, sizeof *out);
    struct sockaddr_in* v4 = (struct sockaddr_in*)out;
    struct sockaddr_in6* v6 = (struct sockaddr_in6*)out;
    if (inet_pton(AF_INET, host, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons((unsigned short)port);
        return sizeof *v4;
    }
    inet_pton(AF_INET6, host, &v6->sin6_addr);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons((unsigned short)port);
    return sizeof *v6;
}

static int failed(const char* step) {
    printf("error %s %s\n", strerrorname_np(errno), step);
    fflush(stdout);
    return 1;
}

static int exchange(int type, const char* host, int port) {
    struct sockaddr_storage peer;
    const socklen_t length = address(host, port, &peer);
    const int fd = socket(peer.ss_family, type, 0);
    if (fd < 0) {
        return failed("socket");
    }
    const struct timeval wait = {3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char answer[64] = {0};
    int result = 0;
    if (connect(fd, (struct sockaddr*)&peer, length) != 0) {
        result = failed("connect");
    } else if (send(fd, "ping", 4, 0) != 4) {
        result = failed("send");
    } else if (recv(fd, answer, sizeof answer - 1, 0) <= 0) {
        result = failed("recv");
    } else {
        printf("ok %s\n", answer);
        fflush(stdout);
    }
    close(fd);
    return result;
}

int main(int argc, char** argv) {
    if (argc == 4) {
        return exchange(strcmp(argv[1], "udp") == 0 ? SOCK_DGRAM : SOCK_STREAM, argv[2],
                        atoi(argv[3])) == 0
                   ? 0
                   : 2;
    }
    if (argc == 5 && strcmp(argv[1], "download") == 0) {
        const time_t start = time(NULL);
        while (time(NULL) - start < atoi(argv[2])) {
            printf("at %ld ", (long)(time(NULL) - start));
            exchange(SOCK_STREAM, argv[3], atoi(argv[4]));
            sleep(1);
        }
        return 0;
    }
    fprintf(stderr, "usage: net_probe tcp|udp HOST PORT | download SECONDS HOST PORT\n");
    return 64;
}
