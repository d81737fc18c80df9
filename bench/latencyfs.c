/*
 * latencyfs: a read-only FUSE file system that serves a tree described in a
 * file and answers every request after a fixed delay, as a file server on a
 * network would. For bench/network.
 *
 *   latencyfs TREE MOUNTPOINT [--delay-us N] [--cache-s N] [--threads N]
 *
 * TREE starts with the line "latencyfs-tree 1", then has one line per entry
 * below the root, each "PARENT TYPE SIZE NAME": the inode number of its
 * directory (the root is 1, the entries number on from 2 in the order of the
 * lines, a directory before what it holds), D or F, the file's size in
 * bytes, and a name without blanks. --cache-s sets how long the kernel may
 * keep names and attributes (0, the default: not at all). --threads bounds
 * the threads that answer (default 1024), enough that they are never what
 * the client waits for. Runs in the foreground until unmounted
 * (fusermount3 -u MOUNTPOINT) or sent SIGTERM.
 */
#define FUSE_USE_VERSION 312
#define _GNU_SOURCE

#include <errno.h>
#include <fuse_lowlevel.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

struct node {
    fuse_ino_t parent;
    int dir;
    off_t size;
    char* name;
    fuse_ino_t* children;
    size_t count, room;
};

static struct node* nodes; /* by inode number; 0 unused, 1 the root */
static size_t node_count;
static fuse_ino_t* table; /* (parent, name) -> inode, open addressing */
static size_t table_mask;
static double cache_seconds;
static struct timespec delay;

static void die(const char* what) {
    fprintf(stderr, "latencyfs: %s\n", what);
    exit(1);
}

static size_t slot_of(fuse_ino_t parent, const char* name) {
    uint64_t h = 1469598103934665603ull ^ parent;
    for (const unsigned char* p = (const unsigned char*)name; *p; ++p) {
        h = (h ^ *p) * 1099511628211ull;
    }
    return (size_t)(h ^ (h >> 29)) & table_mask;
}

static fuse_ino_t find(fuse_ino_t parent, const char* name) {
    for (size_t i = slot_of(parent, name);; i = (i + 1) & table_mask) {
        const fuse_ino_t ino = table[i];
        if (ino == 0 || (nodes[ino].parent == parent && strcmp(nodes[ino].name, name) == 0)) {
            return ino;
        }
    }
}

static void add_child(struct node* dir, fuse_ino_t child) {
    if (dir->count == dir->room) {
        dir->room = dir->room ? 2 * dir->room : 8;
        dir->children = realloc(dir->children, dir->room * sizeof *dir->children);
        if (!dir->children)
            die("out of memory");
    }
    dir->children[dir->count++] = child;
}

static void load(const char* path) {
    FILE* in = fopen(path, "r");
    char line[4096];
    if (!in || !fgets(line, sizeof line, in) || strcmp(line, "latencyfs-tree 1\n") != 0) {
        die("cannot read the tree file");
    }
    size_t room = 1024;
    nodes = calloc(room, sizeof *nodes);
    if (!nodes)
        die("out of memory");
    node_count = 2;
    nodes[1].dir = 1;
    nodes[1].name = "";
    while (fgets(line, sizeof line, in)) {
        unsigned long long parent = 0, size = 0;
        char type = 0, name[4096];
        if (sscanf(line, "%llu %c %llu %4095s", &parent, &type, &size, name) != 4 || parent == 0 ||
            parent >= node_count || !nodes[parent].dir) {
            die("bad line in the tree file");
        }
        if (node_count == room) {
            room *= 2;
            nodes = realloc(nodes, room * sizeof *nodes);
            if (!nodes)
                die("out of memory");
        }
        struct node* n = &nodes[node_count];
        memset(n, 0, sizeof *n);
        n->parent = parent;
        n->dir = type == 'D';
        n->size = (off_t)size;
        n->name = strdup(name);
        add_child(&nodes[parent], node_count++);
    }
    fclose(in);
    size_t slots = 2;
    while (slots < 2 * node_count)
        slots *= 2;
    table = calloc(slots, sizeof *table);
    if (!table)
        die("out of memory");
    table_mask = slots - 1;
    for (fuse_ino_t ino = 2; ino < node_count; ++ino) {
        size_t i = slot_of(nodes[ino].parent, nodes[ino].name);
        while (table[i])
            i = (i + 1) & table_mask;
        table[i] = ino;
    }
}

static void wait_a_round_trip(void) {
    struct timespec left = delay;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

static void fill_stat(fuse_ino_t ino, struct stat* st) {
    const struct node* n = &nodes[ino];
    memset(st, 0, sizeof *st);
    st->st_ino = ino;
    st->st_mode = n->dir ? S_IFDIR | 0755 : S_IFREG | 0644;
    st->st_nlink = n->dir ? 2 : 1;
    st->st_size = n->dir ? 4096 : n->size;
    st->st_blksize = 4096;
    st->st_blocks = (st->st_size + 511) / 512;
    st->st_mtim.tv_sec = st->st_ctim.tv_sec = st->st_atim.tv_sec = 1000000000;
}

static void fill_entry(fuse_ino_t ino, struct fuse_entry_param* e) {
    memset(e, 0, sizeof *e);
    e->ino = ino;
    e->generation = 1;
    e->attr_timeout = cache_seconds;
    e->entry_timeout = cache_seconds;
    if (ino != 0)
        fill_stat(ino, &e->attr);
}

static int known(fuse_ino_t ino) {
    return ino >= 1 && ino < node_count;
}

static void on_lookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    wait_a_round_trip();
    const fuse_ino_t ino = known(parent) ? find(parent, name) : 0;
    if (ino == 0 && cache_seconds <= 0) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    struct fuse_entry_param e;
    fill_entry(ino, &e); /* inode 0: "no such name", kept as long as names are */
    fuse_reply_entry(req, &e);
}

static void on_getattr(fuse_req_t req, fuse_ino_t ino, struct fuse_file_info* fi) {
    (void)fi;
    wait_a_round_trip();
    if (!known(ino)) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    struct stat st;
    fill_stat(ino, &st);
    fuse_reply_attr(req, &st, cache_seconds);
}

static void on_opendir(fuse_req_t req, fuse_ino_t ino, struct fuse_file_info* fi) {
    wait_a_round_trip();
    if (!known(ino) || !nodes[ino].dir) {
        fuse_reply_err(req, known(ino) ? ENOTDIR : ENOENT);
        return;
    }
    fuse_reply_open(req, fi);
}

static void list(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off, int plus) {
    wait_a_round_trip();
    if (!known(ino) || !nodes[ino].dir) {
        fuse_reply_err(req, ENOTDIR);
        return;
    }
    char* buf = malloc(size);
    if (!buf) {
        fuse_reply_err(req, ENOMEM);
        return;
    }
    const struct node* dir = &nodes[ino];
    size_t used = 0;
    for (size_t i = (size_t)off; i < dir->count; ++i) {
        const fuse_ino_t child = dir->children[i];
        size_t length;
        if (plus) {
            struct fuse_entry_param e;
            fill_entry(child, &e);
            length = fuse_add_direntry_plus(req, buf + used, size - used, nodes[child].name, &e,
                                            (off_t)i + 1);
        } else {
            struct stat st;
            fill_stat(child, &st);
            length = fuse_add_direntry(req, buf + used, size - used, nodes[child].name, &st,
                                       (off_t)i + 1);
        }
        if (length > size - used)
            break; /* did not fit: the next read gets it */
        used += length;
    }
    fuse_reply_buf(req, buf, used);
    free(buf);
}

static void on_readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off,
                       struct fuse_file_info* fi) {
    (void)fi;
    list(req, ino, size, off, 0);
}

static void on_readdirplus(fuse_req_t req, fuse_ino_t ino, size_t size, off_t off,
                           struct fuse_file_info* fi) {
    (void)fi;
    list(req, ino, size, off, 1);
}

static void on_releasedir(fuse_req_t req, fuse_ino_t ino, struct fuse_file_info* fi) {
    (void)ino;
    (void)fi;
    wait_a_round_trip();
    fuse_reply_err(req, 0);
}

static void on_statfs(fuse_req_t req, fuse_ino_t ino) {
    (void)ino;
    wait_a_round_trip();
    struct statvfs st;
    memset(&st, 0, sizeof st);
    st.f_bsize = st.f_frsize = 4096;
    st.f_files = node_count;
    st.f_namemax = 255;
    fuse_reply_statfs(req, &st);
}

/* Inodes live as long as the file system: nothing to forget. */
static void on_forget(fuse_req_t req, fuse_ino_t ino, uint64_t nlookup) {
    (void)ino;
    (void)nlookup;
    fuse_reply_none(req);
}

static void on_forget_multi(fuse_req_t req, size_t count, struct fuse_forget_data* forgets) {
    (void)count;
    (void)forgets;
    fuse_reply_none(req);
}

static const struct fuse_lowlevel_ops ops = {
    .lookup = on_lookup,
    .getattr = on_getattr,
    .opendir = on_opendir,
    .readdir = on_readdir,
    .readdirplus = on_readdirplus,
    .releasedir = on_releasedir,
    .statfs = on_statfs,
    .forget = on_forget,
    .forget_multi = on_forget_multi,
};

int main(int argc, char** argv) {
    if (argc < 3)
        die("usage: latencyfs TREE MOUNTPOINT [--delay-us N] [--cache-s N] [--threads N]");
    long delay_us = 0;
    unsigned threads = 1024;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--delay-us") == 0) {
            delay_us = atol(argv[i + 1]);
        } else if (strcmp(argv[i], "--cache-s") == 0) {
            cache_seconds = atof(argv[i + 1]);
        } else if (strcmp(argv[i], "--threads") == 0) {
            threads = (unsigned)atoi(argv[i + 1]);
        } else {
            die("unknown option");
        }
    }
    delay.tv_sec = delay_us / 1000000;
    delay.tv_nsec = (delay_us % 1000000) * 1000;
    load(argv[1]);

    char* fuse_argv[] = {argv[0], "-o", "fsname=latencyfs,subtype=latencyfs,ro", NULL};
    struct fuse_args args = FUSE_ARGS_INIT(3, fuse_argv);
    struct fuse_session* se = fuse_session_new(&args, &ops, sizeof ops, NULL);
    if (!se)
        die("cannot start a session");
    if (fuse_set_signal_handlers(se) != 0)
        die("cannot catch signals");
    if (fuse_session_mount(se, argv[2]) != 0)
        die("cannot mount");
    struct fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_max_threads(config, threads);
    fuse_loop_cfg_set_idle_threads(config, threads); /* kept, not made anew for every burst */
    const int status = fuse_session_loop_mt(se, config);
    fuse_loop_cfg_destroy(config);
    fuse_session_unmount(se);
    fuse_remove_signal_handlers(se);
    fuse_session_destroy(se);
    return status == 0 ? 0 : 1;
}
