#!/usr/bin/env python3
"""Writes a static test site for the crawl benchmark.

Page 0 is index.html, page i > 0 is p<i>.html. Every page holds about
PAGE_BYTES of text and LINKS links: the first TREE_FANOUT are its children in
a tree rooted at index.html (so every page is reachable from it), the rest are
cross links to pseudo-random pages. The text never holds the word the
benchmark searches for.
"""
import argparse
import os
import random

WORDS = (
    "alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima "
    "mike november oscar papa quebec romeo sierra tango uniform victor whiskey "
    "xray yankee zulu river stone cloud garden window market silver orange "
    "harbour meadow lantern pepper candle ticket bridge mirror velvet copper"
).split()


def page_name(index):
    return "index.html" if index == 0 else "p%d.html" % index


def page_links(index, pages, links, fanout, rng):
    targets = [c for c in range(index * fanout + 1, index * fanout + fanout + 1) if c < pages]
    while len(targets) < links:
        targets.append(rng.randrange(pages))
    return targets


def filler(rng, size):
    parts = []
    length = 0
    while length < size:
        sentence = " ".join(rng.choice(WORDS) for _ in range(12)).capitalize() + "."
        parts.append(sentence)
        length += len(sentence) + 1
    return " ".join(parts)


def write_page(directory, index, pages, links, fanout, page_bytes, rng):
    targets = page_links(index, pages, links, fanout, rng)
    link_html = "\n".join(
        '<li><a href="%s">Page %d</a></li>' % (page_name(t), t) for t in targets)
    text_bytes = max(page_bytes - len(link_html) - 200, 100)
    half = text_bytes // 2
    html = (
        "<html><head><title>Benchmark page %d</title></head><body>\n"
        "<h1>Benchmark page %d</h1>\n<p>%s</p>\n<ul>\n%s\n</ul>\n<p>%s</p>\n"
        "</body></html>\n" % (index, index, filler(rng, half), link_html,
                              filler(rng, text_bytes - half)))
    with open(os.path.join(directory, page_name(index)), "w", encoding="ascii") as f:
        f.write(html)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("directory")
    parser.add_argument("--pages", type=int, default=20000)
    parser.add_argument("--links", type=int, default=20)
    parser.add_argument("--fanout", type=int, default=5)
    parser.add_argument("--page-bytes", type=int, default=8192)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.pages < 1 or args.fanout < 1 or args.links < args.fanout:
        parser.error("need pages >= 1 and links >= fanout >= 1")
    os.makedirs(args.directory, exist_ok=True)
    rng = random.Random(args.seed)
    for index in range(args.pages):
        write_page(args.directory, index, args.pages, args.links, args.fanout, args.page_bytes,
                   rng)


if __name__ == "__main__":
    main()
