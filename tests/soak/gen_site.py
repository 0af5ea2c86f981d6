#!/usr/bin/python3
"""Writes the keep-alive soak site: a seeded static documentation server.

    gen_site.py OUTDIR [--seed N]

OUTDIR/www/            the document root
OUTDIR/locations.conf  nginx locations: autoindex folders, redirects, slow answers
OUTDIR/manifest.tsv    every path a crawl from "/" requests, with nginx's status
OUTDIR/stats.txt       how many of each kind were made

The manifest is not written from the generator's intentions but from a model
crawl over the written files (nginx's answers plus the crawler's link rules), so
a page that is unreachable or reachable twice shows up here, not as a
mysterious soak failure.
"""

import argparse
import bisect
import collections
import gzip
import os
import random
import re
import sys

from site_text import ADJS, NOUNS, PREPS, TOP_SECTIONS, VERBS, PageText

# "http://127.0.0.1:" plus a five-digit port.
URL_PREFIX_LEN = len("http://127.0.0.1:12345")
# The crawler's seen-URL buckets (exclusive upper bounds of the full URL
# length); a bucket past 1300 URLs is thinned and may refetch.
BUCKET_BOUNDS = [20, 24, 26, 29, 32, 35, 38, 41, 44, 48, 51, 54, 57, 60, 63,
                 65, 68, 71, 74, 77, 80, 83, 86, 89, 92, 95, 98, 101, 116]
BUCKET_COUNT = len(BUCKET_BOUNDS) + 1
BUCKET_BUDGET = 1000
MAX_PATH_LEN = 140

N_HTML = 1800
N_TXT = 1250
N_MD = 700
N_GZ = 500
N_BIN = 700
N_MISSING = 250
N_IMAGE_LINKS = 300

FIXED_MTIME = 1700000000

# Substrings that the crawler treats specially inside a link, or that would put
# a search match inside a tag; generated names never contain them.
BAD_IN_NAMES = ("the", "amp;", "http", ".css", "ftp:", "noindex", "..")

NAME_WORDS = NOUNS + ADJS + ["setup", "intro", "usage", "faq", "howto",
                             "notes", "changes", "api", "ref", "tips", "v2",
                             "draft", "howtos", "appendix", "overview"]


for _word in NOUNS + VERBS + ADJS + PREPS + NAME_WORDS:
    assert "the" not in _word, _word


def bucket_of(url_len):
    return bisect.bisect_right(BUCKET_BOUNDS, url_len)


def bucket_path_range(b):
    """Inclusive path-length range of bucket b (URL length minus the prefix)."""
    lo = (BUCKET_BOUNDS[b - 1] if b > 0 else 0) - URL_PREFIX_LEN
    hi = (BUCKET_BOUNDS[b] - 1 if b < len(BUCKET_BOUNDS) else 10 ** 6) - URL_PREFIX_LEN
    return max(lo, 1), hi


class Folder:
    def __init__(self, path, kind, parent):
        self.path = path          # "/" or "/a/b/"
        self.kind = kind          # index | autoindex | hidden
        self.parent = parent
        self.subfolders = []
        self.files = []           # Page objects written into this folder
        self.names = set()        # names taken in this folder
        self.slash_redirect = False  # linked only as "/a/b", answered 301 by nginx


class Page:
    """One file of the site."""

    def __init__(self, folder, name, kind):
        self.folder = folder
        self.name = name
        self.kind = kind          # html | txt | md | gz | bin
        self.path = folder.path + name
        self.links = []           # hrefs as written (html only)
        self.absolute_only = False
        self.tree_capacity = 0


class Site(PageText):
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.bucket_counts = [0] * BUCKET_COUNT
        self.folders = []
        self.pages = []
        self.missing = []           # paths linked but absent
        self.redirects = {}         # source path -> (status, target path), nginx return
        self.slow = []              # pages under the limit_rate location
        self.hidden_pages = []      # redirect targets and slow pages
        self.image_links = 0

    def count_url(self, path):
        self.bucket_counts[bucket_of(URL_PREFIX_LEN + len(path))] += 1

    def pick_path_len(self, lo, hi):
        """A path length in [lo, hi] from the least filled bucket that fits."""
        hi = max(lo, hi)
        fitting = []
        for b in range(BUCKET_COUNT):
            blo, bhi = bucket_path_range(b)
            if blo <= hi and bhi >= lo:
                fitting.append(b)
        least = min(self.bucket_counts[b] for b in fitting)
        b = self.rng.choice([b for b in fitting if self.bucket_counts[b] == least])
        blo, bhi = bucket_path_range(b)
        return self.rng.randint(max(lo, blo), min(hi, bhi))

    def make_stem(self, length):
        rng = self.rng
        if length <= 4:
            return "".join(rng.choice("abcdefghijklmnopqrsuvwxyz0123456789")
                           for _ in range(length))
        parts = []
        while sum(len(p) + 1 for p in parts) < length:
            parts.append(rng.choice(NAME_WORDS))
        stem = "-".join(parts)
        suffix = "-" + str(rng.randint(0, 999))
        stem = stem[:max(1, length - len(suffix))].rstrip("-_")
        stem = (stem + suffix)[:length]
        while len(stem) < length:
            stem += rng.choice("0123456789")
        return stem.replace("--", "-x")

    def take_name(self, folder, length, ext):
        """A name unique in `folder` whose whole path is `length` long."""
        stem_len = max(2, length - len(folder.path) - len(ext))
        for _ in range(200):
            name = self.make_stem(stem_len) + ext
            if name in folder.names or name.rstrip("/") in folder.names or name.startswith(("-", ".")):
                continue
            if any(bad in name for bad in BAD_IN_NAMES):
                continue
            if name.endswith((".jpg", ".gif")):
                continue
            folder.names.add(name)
            return name
        stem_len += 1
        return self.take_name(folder, len(folder.path) + stem_len + len(ext), ext)

    def sized_name(self, folder, ext, extra=0):
        lo = len(folder.path) + 2 + len(ext) + extra
        length = self.pick_path_len(lo, MAX_PATH_LEN)
        name = self.take_name(folder, length, ext)
        self.count_url(folder.path + name)
        return name

    def add_folder(self, parent, name, kind):
        parent.names.add(name)
        folder = Folder(parent.path + name + "/", kind, parent)
        parent.subfolders.append(folder)
        self.folders.append(folder)
        if kind != "hidden":
            self.count_url(folder.path)
        return folder

    def folder_name(self, parent):
        rng = self.rng
        for _ in range(200):
            length = rng.choice([2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 17, 20])
            name = self.make_stem(length).strip("-")
            if len(name) < 2 or name in parent.names:
                continue
            if any(bad in name for bad in BAD_IN_NAMES):
                continue
            return name
        raise RuntimeError("no folder name left in " + parent.path)

    def build_folders(self):
        rng = self.rng
        self.root = Folder("/", "index", None)
        self.folders.append(self.root)
        self.count_url("/")
        for name, kind in TOP_SECTIONS:
            top = self.add_folder(self.root, name, kind)
            for _ in range(rng.randint(3, 8)):
                sub = self.add_folder(top, self.folder_name(top), self.child_kind(top))
                if rng.random() < 0.35:
                    for _ in range(rng.randint(1, 3)):
                        deep = self.add_folder(sub, self.folder_name(sub), self.child_kind(sub))
                        if rng.random() < 0.2:
                            for _ in range(rng.randint(1, 2)):
                                self.add_folder(deep, self.folder_name(deep),
                                                self.child_kind(deep))
        # Folders whose index is reached only through nginx's "/dir" -> "/dir/"
        # redirect: their parents must not list them, so index parents only.
        index_parents = [f for f in self.folders if f.kind == "index" and f is not self.root]
        for parent in rng.sample(index_parents, 3):
            folder = self.add_folder(parent, self.folder_name(parent), "index")
            folder.slash_redirect = True
        # Redirect targets and slow answers live in folders nobody links.
        self.moved = self.add_folder(self.root, "moved", "hidden")
        self.slow_folder = self.add_folder(self.root, "slow", "hidden")
        self.static = self.add_folder(self.root, "static", "hidden")

    def child_kind(self, parent):
        p = 0.65 if parent.kind == "autoindex" else 0.25
        return "autoindex" if self.rng.random() < p else "index"

    def add_page(self, folder, kind, name=None):
        if name is None:
            name = self.sized_name(folder, "." + kind)
        page = Page(folder, name, kind)
        folder.files.append(page)
        self.pages.append(page)
        return page

    def build_files(self):
        rng = self.rng
        public = [f for f in self.folders if f.kind != "hidden" and not f.slash_redirect]
        weights = {
            "html": lambda f: 0.1 if f is self.root else (1.0 if f.kind == "index" else 0.35),
            "txt": lambda f: 0.05 if f is self.root else (0.3 if f.kind == "index" else 1.0),
            "md": lambda f: 0.05 if f is self.root else (0.3 if f.kind == "index" else 1.0),
            "gz": lambda f: 0.0 if f is self.root else (0.15 if f.kind == "index" else 1.5),
            "bin": lambda f: 0.0 if f is self.root else (0.15 if f.kind == "index" else 1.5),
        }
        for kind, count in (("html", N_HTML), ("txt", N_TXT), ("md", N_MD),
                            ("gz", N_GZ), ("bin", N_BIN)):
            w = [weights[kind](f) for f in public]
            for folder in rng.choices(public, weights=w, k=count):
                self.add_page(folder, kind)
        for folder in self.folders:
            if folder.slash_redirect:
                self.add_page(folder, "html", "index.html").absolute_only = True
        self.add_page(self.static, "css", "docs.css")

    def build_redirects(self):
        rng = self.rng
        public = [f for f in self.folders if f.kind == "index" and not f.slash_redirect]
        plain = []
        for i in range(16):
            folder = rng.choice(public)
            source = folder.path + self.sized_name(folder, ".html")
            target = self.add_page(self.moved, "html")
            target.absolute_only = True
            self.hidden_pages.append(target)
            self.redirects[source] = (301 if i < 10 else 302, target.path)
            plain.append(source)
        # A two-hop chain, a redirect to a text file, one to a folder and one
        # to a page that is not there.
        folder = rng.choice(public)
        first = folder.path + self.sized_name(folder, ".html")
        second = self.moved.path + self.sized_name(self.moved, ".html")
        end = self.add_page(self.moved, "html")
        end.absolute_only = True
        self.hidden_pages.append(end)
        self.redirects[first] = (302, second)
        self.redirects[second] = (301, end.path)
        plain.append(first)

        folder = rng.choice(public)
        source = folder.path + self.sized_name(folder, ".txt")
        notes = self.add_page(self.moved, "txt")
        self.hidden_pages.append(notes)
        self.redirects[source] = (302, notes.path)
        plain.append(source)

        bundle = self.add_folder(self.moved, "bundle", "index")
        bundle_index = self.add_page(bundle, "html", "index.html")
        bundle_index.absolute_only = True
        self.hidden_pages.append(bundle_index)
        folder = rng.choice(public)
        source = folder.path + self.sized_name(folder, ".html")
        self.redirects[source] = (301, bundle.path)
        plain.append(source)

        folder = rng.choice(public)
        source = folder.path + self.sized_name(folder, ".html")
        self.redirects[source] = (301, self.moved.path + "never-" + str(rng.randint(10, 99)) + ".html")
        plain.append(source)
        self.redirect_sources = plain

        for _ in range(3):
            page = self.add_page(self.slow_folder, "html")
            page.absolute_only = True
            self.slow.append(page)
        self.slow.append(self.add_page(self.slow_folder, "txt"))

    def build_missing(self):
        rng = self.rng
        public = [f for f in self.folders if f.kind != "hidden" and not f.slash_redirect]
        for _ in range(N_MISSING):
            folder = rng.choice(public)
            ext = rng.choice([".html", ".html", ".txt", ".md", ".gz", "/"])
            name = self.sized_name(folder, ext)
            self.missing.append(folder.path + name)

    def href(self, page, target_path):
        """How `page` links to `target_path`: relative when it is below the
        page's folder (half the time), else by absolute path."""
        base = page.folder.path
        if (not page.absolute_only and target_path.startswith(base)
                and len(target_path) - len(base) >= 2 and self.rng.random() < 0.5):
            return target_path[len(base):]
        return target_path

    def build_links(self):
        rng = self.rng
        html_pages = [p for p in self.pages if p.kind == "html"]
        self.folder_index = {}
        for folder in self.folders:
            if folder.kind == "index" and folder is not self.root:
                idx = next((p for p in folder.files if p.name == "index.html"), None)
                if idx is None:
                    idx = self.add_page(folder, "html", "index.html")
                self.folder_index[folder.path] = idx
        self.root_index = self.add_page(self.root, "html", "index.html")
        self.folder_index["/"] = self.root_index

        # A spanning tree: every listed item gets one page that links it, so
        # that each is reachable from "/". Autoindex folders list their own.
        for folder in self.folders:
            if folder.kind != "index" or folder.parent is self.moved or folder.slash_redirect:
                continue
            idx = self.folder_index[folder.path]
            idx.tree_capacity = 70 if folder is self.root else 45
            linkers = [idx]
            items = [("folder", f) for f in folder.subfolders if f.kind != "hidden"]
            htmls = [p for p in folder.files if p.kind == "html" and p is not idx]
            others = [p for p in folder.files if p.kind not in ("html", "css")]
            rng.shuffle(htmls)
            rng.shuffle(others)
            for kind, item in items + [("page", p) for p in htmls] + [("page", p) for p in others]:
                open_linkers = [l for l in linkers if l.tree_capacity > 0]
                if not open_linkers:
                    idx.tree_capacity += 10
                    open_linkers = [idx]
                linker = rng.choice(open_linkers[-8:]) if rng.random() < 0.7 else rng.choice(open_linkers)
                linker.tree_capacity -= 1
                if kind == "folder":
                    path = item.path[:-1] if item.slash_redirect else item.path
                else:
                    path = item.path
                linker.links.append(self.href(linker, path))
                if kind == "page" and item.kind == "html":
                    item.tree_capacity = rng.randint(3, 25)
                    linkers.append(item)

        # Pools for the extra links every page carries.
        linkable_pages = [p for p in self.pages
                          if p.kind in ("html", "txt", "md", "gz", "bin")
                          and p.folder.kind != "hidden" and not p.folder.slash_redirect
                          and p.name != "index.html"]
        linkable_folders = [f.path for f in self.folders
                            if f.kind != "hidden" and not f.slash_redirect
                            and not f.path.startswith("/moved/")]
        files = [p.path for p in linkable_pages if p.kind != "html"]
        htmls = [p.path for p in linkable_pages if p.kind == "html"]

        # Links placed once or a few times: missing pages, redirect sources,
        # slow answers, images the crawler skips.
        placed = {}
        for path in self.missing:
            for page in rng.sample(html_pages, rng.randint(1, 2)):
                placed.setdefault(id(page), []).append(path)
        for path in self.redirect_sources:
            for page in rng.sample(html_pages, rng.randint(1, 3)):
                placed.setdefault(id(page), []).append(path)
        for page in self.slow:
            for linker in rng.sample(html_pages, rng.randint(1, 2)):
                placed.setdefault(id(linker), []).append(page.path)
        for _ in range(N_IMAGE_LINKS):
            page = rng.choice(html_pages)
            ext = rng.choice([".jpg", ".gif", ".JPG"])
            placed.setdefault(id(page), []).append(
                "img/fig-" + str(rng.randint(1, 40)) + ext)
            self.image_links += 1

        nav = ["/"] + ["/" + name + "/" for name, _ in TOP_SECTIONS[:7]]
        all_html = [p for p in self.pages if p.kind == "html"]
        for page in all_html:
            crumbs = []
            f = page.folder
            # A redirect target must not link itself: the crawler knows it
            # only by the address that redirected there.
            while (f is not None and f is not self.root and f.kind != "hidden"
                   and not page.absolute_only):
                crumbs.append(f.path[:-1] if f.slash_redirect else f.path)
                f = f.parent
            # Links are listed in a fixed order: navigation, breadcrumbs,
            # the tree, then extras, so the page reads like a real one.
            # Most pages carry 20 to 30 links, a few up to 200: every link
            # costs the crawler's engine a queue entry, and the run's time
            # budget is spent on those.
            if rng.random() < 0.85:
                want = 20 + rng.randint(0, 10)
            else:
                want = 30 + int(170 * rng.random() ** 2)
            extras = list(placed.get(id(page), []))
            fixed = len(nav) + len(crumbs) + len(page.links) + len(extras) + 2
            body = []
            for _ in range(max(0, want - fixed)):
                r = rng.random()
                if r < 0.55:
                    body.append(self.href(page, rng.choice(htmls)))
                elif r < 0.7:
                    body.append(self.href(page, rng.choice(linkable_folders)))
                else:
                    body.append(self.href(page, rng.choice(files)))
            page.nav = nav
            page.crumbs = list(reversed(crumbs))
            page.body_links = page.links + body + [self.href(page, p) if p.startswith("/") else p
                                                   for p in extras]
            rng.shuffle(page.body_links)
            total = len(nav) + len(crumbs) + len(page.body_links) + 2
            assert 20 <= total <= 205, (page.path, total)

    # ---- writing -----------------------------------------------------------

    def write(self, out_dir):
        rng = self.rng
        www = os.path.join(out_dir, "www")
        for folder in self.folders:
            os.makedirs(www + folder.path, exist_ok=True)
        for page in self.pages:
            target = www + page.path
            if page.kind == "html":
                data = self.html_text(page).encode()
            elif page.kind in ("txt", "md"):
                data = self.plain_text(page).encode()
            elif page.kind == "gz":
                data = gzip.compress(self.paragraph(True, rng.randint(5, 200)).encode(), mtime=0)
            elif page.kind == "bin":
                data = rng.randbytes(rng.randint(200, 40000))
            else:
                data = b"body { font-family: sans-serif; }\n"
            if page in self.slow:
                # A few KB at the location's 2 KB/s: one to three seconds.
                pad = rng.randint(2000, 5500) - len(data)
                if pad > 0:
                    data += (b"\n<!-- " + b"x" * pad + b" -->\n") if page.kind == "html" else b"." * pad
            with open(target, "wb") as fh:
                fh.write(data)
        for root, dirs, names in os.walk(www):
            for n in dirs + names:
                os.utime(os.path.join(root, n), (FIXED_MTIME, FIXED_MTIME))

        with open(os.path.join(out_dir, "locations.conf"), "w") as fh:
            fh.write("# Written by gen_site.py.\n")
            for folder in self.folders:
                if folder.kind == "autoindex":
                    fh.write(f"location {folder.path} {{ autoindex on; }}\n")
            for source, (status, target) in sorted(self.redirects.items()):
                fh.write(f"location = {source} {{ return {status} {target}; }}\n")
            fh.write(f"location {self.slow_folder.path} {{ limit_rate 2k; gzip off; }}\n")

    # ---- model crawl -------------------------------------------------------

    def model_crawl(self, out_dir):
        """Crawls the written site the way nginx and the crawler would and
        returns [(path, status)] in request order."""
        www = os.path.join(out_dir, "www")
        autoindex = {f.path for f in self.folders if f.kind == "autoindex"}
        href_re = re.compile(rb'href="([^"]*)"')

        def serve(path):
            """nginx's status and the page's links (None for non-text)."""
            if path in self.redirects:
                status, target = self.redirects[path]
                return status, target, None
            fs = www + path
            if path.endswith("/"):
                if os.path.isfile(fs + "index.html"):
                    with open(fs + "index.html", "rb") as fh:
                        return 200, None, fh.read()
                if os.path.isdir(fs):
                    if path in autoindex or any(path.startswith(a) for a in autoindex):
                        listing = ['<a href="../">../</a>']
                        for n in sorted(os.listdir(fs)):
                            suffix = "/" if os.path.isdir(fs + n) else ""
                            listing.append(f'<a href="{n}{suffix}">{n}{suffix}</a>')
                        return 200, None, "\n".join(listing).encode()
                    return 403, None, None
                return 404, None, None
            if os.path.isdir(fs):
                return 301, path + "/", None
            if os.path.isfile(fs):
                if path.endswith((".html", ".txt", ".md")):
                    with open(fs, "rb") as fh:
                        return 200, None, fh.read()
                return 200, None, None
            return 404, None, None

        def resolve(base_dir, link):
            if len(link) < 2 or link.startswith(".") or link.startswith("mailto:"):
                return None
            if any(c in link for c in "# %") or "ftp:" in link or ".css" in link:
                return None
            if link.lower().endswith((".jpg", ".gif")):
                return None
            return link if link.startswith("/") else base_dir + link

        log = []
        seen = {"/"}
        queue = ["/"]
        while queue:
            url = queue.pop(0)
            path = url
            body = None
            for _ in range(10):
                status, target, body = serve(path)
                log.append((path, status))
                if target is None:
                    break
                path = target
            if body is None or status != 200:
                continue
            # Links resolve against the URL that was asked for, not where a
            # redirect ended.
            base_dir = url[:url.rfind("/") + 1]
            for m in href_re.finditer(body):
                child = resolve(base_dir, m.group(1).decode())
                if child is not None and child not in seen:
                    seen.add(child)
                    queue.append(child)
        return log


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir")
    parser.add_argument("--seed", type=int, default=20240611)
    args = parser.parse_args()

    site = Site(args.seed)
    site.build_folders()
    site.build_files()
    site.build_redirects()
    site.build_missing()
    site.build_links()
    os.makedirs(args.out_dir, exist_ok=True)
    site.write(args.out_dir)

    log = site.model_crawl(args.out_dir)
    paths = [p for p, _ in log]
    twice = sorted(p for p, n in collections.Counter(paths).items() if n > 1)
    if twice:
        sys.exit("gen_site: the model crawl requests these more than once: " + " ".join(twice[:10]))
    requested = set(paths)
    unreached = [p.path for p in site.pages
                 if p.kind != "css" and p.name != "index.html" and p.path not in requested]
    unreached += [f.path for f in site.folders if f.kind != "hidden" and f.path not in requested]
    if unreached:
        sys.exit("gen_site: unreachable from /: " + " ".join(unreached[:10]))

    buckets = [0] * BUCKET_COUNT
    for p in paths:
        buckets[bucket_of(URL_PREFIX_LEN + len(p))] += 1
    if max(buckets) > BUCKET_BUDGET:
        sys.exit(f"gen_site: a URL-length bucket holds {max(buckets)} URLs: {buckets}")

    with open(os.path.join(args.out_dir, "manifest.tsv"), "w") as fh:
        for path, status in sorted(log):
            fh.write(f"{path}\t{status}\n")

    by_status = collections.Counter(status for _, status in log)
    kinds = collections.Counter(page.kind for page in site.pages)
    links = [len(p.nav) + len(p.crumbs) + len(p.body_links) + 2
             for p in site.pages if p.kind == "html"]
    stats = [
        f"urls {len(log)}",
        "status " + " ".join(f"{s}:{n}" for s, n in sorted(by_status.items())),
        "files " + " ".join(f"{k}:{n}" for k, n in sorted(kinds.items())),
        "folders index:{} autoindex:{} via-slash-redirect:{}".format(
            sum(f.kind == "index" and not f.slash_redirect for f in site.folders),
            sum(f.kind == "autoindex" for f in site.folders),
            sum(f.slash_redirect for f in site.folders)),
        f"redirects nginx-return:{len(site.redirects)} missing-links:{len(site.missing)} "
        f"slow:{len(site.slow)} image-links:{site.image_links}",
        f"links per page min:{min(links)} max:{max(links)} mean:{sum(links) / len(links):.0f} "
        f"total:{sum(links)}",
        "url-length buckets " + " ".join(str(n) for n in buckets),
    ]
    with open(os.path.join(args.out_dir, "stats.txt"), "w") as fh:
        fh.write("\n".join(stats) + "\n")
    print("\n".join(stats))


if __name__ == "__main__":
    main()
