"""Text of the soak site's pages: sentences with and without the searched
word, paragraphs, anchors, HTML bodies and plain-text files.

Site (gen_site.py) mixes this in; the methods use its seeded `rng` and its
page records.
"""

NOUNS = ["server", "client", "module", "request", "response", "cache", "buffer",
         "socket", "worker", "queue", "parser", "schema", "token", "session",
         "index", "record", "field", "filter", "handler", "option", "setting",
         "folder", "file", "page", "link", "process", "signal", "timer",
         "limit", "header", "table", "column", "report", "search", "crawler",
         "package", "library", "release", "version", "thread", "proxy", "route"]
VERBS = ["reads", "writes", "opens", "closes", "checks", "sends", "keeps",
         "drops", "sorts", "parses", "stores", "loads", "builds", "starts",
         "stops", "counts", "limits", "returns", "accepts", "rejects"]
ADJS = ["first", "next", "last", "small", "large", "open", "closed", "shared",
        "local", "remote", "default", "new", "old", "empty", "full", "slow",
        "fast", "plain", "binary", "nested", "quiet", "busy"]
PREPS = ["in", "on", "for", "from", "to", "with", "after", "before", "under",
         "over", "into", "by"]


# The site's top folders and what serves each.
TOP_SECTIONS = [("guide", "index"), ("api", "index"), ("reference", "index"),
                ("howto", "index"), ("blog", "index"), ("kb", "index"),
                ("man", "index"), ("tutorials", "index"), ("lib", "index"),
                ("downloads", "autoindex"), ("pub", "autoindex"),
                ("releases", "autoindex")]


class PageText:
    def sentence(self, with_the):
        rng = self.rng
        a, b, c = rng.choice(ADJS), rng.choice(NOUNS), rng.choice(NOUNS)
        v, p, d = rng.choice(VERBS), rng.choice(PREPS), rng.choice(NOUNS)
        if with_the:
            forms = [f"The {a} {b} {v} the {c} {p} the {d}.",
                     f"When the {b} {v} a {c}, the {a} {d} waits.",
                     f"Each {b} {v} the {c} {p} its {a} {d}.",
                     f"Set the {a} {b} before the {c} {v} it."]
        else:
            forms = [f"A {a} {b} {v} a {c} {p} each {d}.",
                     f"Every {b} {v} its {a} {c} {p} a {d}.",
                     f"Use a {a} {b} if a {c} {v} too much."]
        return rng.choice(forms)

    def paragraph(self, with_the, n=None):
        n = n or self.rng.randint(2, 6)
        return " ".join(self.sentence(with_the) for _ in range(n))

    def anchor(self):
        return self.rng.choice(ADJS) + " " + self.rng.choice(NOUNS)

    def html_text(self, page):
        rng = self.rng
        with_the = rng.random() < 0.85
        title = (f"The {rng.choice(ADJS)} {rng.choice(NOUNS)} {rng.choice(NOUNS)}"
                 if with_the else f"{rng.choice(ADJS).title()} {rng.choice(NOUNS)} notes")
        out = ['<!DOCTYPE html>', '<html lang="en">', '<head>', '<meta charset="utf-8">',
               f'<title>{title}</title>',
               '<link rel="stylesheet" href="/static/docs.css">', '</head>', '<body>',
               '<div class="nav">']
        labels = ["Home"] + [name.title() for name, _ in TOP_SECTIONS]
        out.append(" | ".join(f'<a href="{h}">{l}</a>' for h, l in zip(page.nav, labels)))
        out.append('</div>')
        if page.crumbs:
            out.append('<div class="crumbs">' + " / ".join(
                f'<a href="{h}">{h.rstrip("/").rsplit("/", 1)[-1]}</a>' for h in page.crumbs)
                + '</div>')
        out.append(f'<h1>{title}</h1>')
        out.append(f'<p>{self.paragraph(with_the)}</p>')
        links = page.body_links
        i = 0
        while i < len(links):
            group = links[i:i + rng.randint(3, 25)]
            i += len(group)
            if rng.random() < 0.3:
                # Links inside running text, as a writer would place them.
                words = [f'see <a href="{h}">{self.anchor()}</a>' for h in group]
                out.append(f'<p>{self.sentence(with_the and rng.random() < 0.3)} '
                           + ", ".join(words) + '.</p>')
            else:
                out.append('<ul>')
                for h in group:
                    out.append(f'<li><a href="{h}">{self.anchor()}</a> - '
                               f'{self.sentence(with_the and rng.random() < 0.1)}</li>')
                out.append('</ul>')
            if rng.random() < 0.3:
                out.append(f'<p>{self.paragraph(with_the, rng.randint(1, 3))}</p>')
            if rng.random() < 0.15:
                out.append('<pre><code>if (count &lt; limit &amp;&amp; size &gt; 0) { next(); }</code></pre>')
        out.append('<img src="/static/logo.png" alt="logo">')
        out.append('<div class="footer">Docs build 4.2 | '
                   '<a href="mailto:docs@example.org">write to us</a></div>')
        out.append('</body>')
        out.append('</html>')
        return "\n".join(out) + "\n"

    def plain_text(self, page):
        rng = self.rng
        angled = rng.random() < 0.45
        lines = []
        if page.kind == "md":
            lines.append(f"# The {rng.choice(ADJS)} {rng.choice(NOUNS)}")
            lines.append("")
        else:
            lines.append(f"{rng.choice(NOUNS).upper()} NOTES")
            lines.append("")
        for _ in range(rng.randint(2, 16)):
            lines.append(self.paragraph(rng.random() < 0.2))
            lines.append("")
            if angled and rng.random() < 0.4:
                lines.append(rng.choice([
                    "    if (queue.size() < limit && worker > 0) { start(); }",
                    "<server> and <client> blocks go in order: a < b > c",
                    "Use <kbd>Ctrl</kbd>+<kbd>C</kbd> to stop; output >> log.txt",
                    "    cat notes.txt | sort > sorted.txt",
                    "<div class=\"note\">",
                    "</div>",
                ]))
                lines.append("")
        if page.kind == "md":
            lines.append("- [guide](guide/intro) for more")
        text = "\n".join(lines) + "\n"
        if not angled:
            text = text.replace("<", "(").replace(">", ")")
        return text
