#!/usr/bin/python3
"""Writes the sample project Book/: its pages (CP936, CR LF), cover picture and sound clip."""
import os
import subprocess

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Book")

CHAPTERS = [
    ("第一章", "道可道，非常道；名可名，非常名。无名天地之始，有名万物之母。故常无欲，以观其妙；常有欲，以观其徼。此两者同出而异名，同谓之玄。玄之又玄，众妙之门。"),
    ("第二章", "天下皆知美之为美，斯恶已；皆知善之为善，斯不善已。故有无相生，难易相成，长短相形，高下相倾，音声相和，前后相随。是以圣人处无为之事，行不言之教；万物作焉而不辞，生而不有，为而不恃，功成而弗居。夫唯弗居，是以不去。"),
    ("第三章", "不尚贤，使民不争；不贵难得之货，使民不为盗；不见可欲，使民心不乱。是以圣人之治，虚其心，实其腹，弱其志，强其骨。常使民无知无欲，使夫智者不敢为也。为无为，则无不治。"),
    ("第四章", "道冲，而用之或不盈。渊兮，似万物之宗。挫其锐，解其纷，和其光，同其尘。湛兮，似或存。吾不知谁之子，象帝之先。"),
    ("第五章", "天地不仁，以万物为刍狗；圣人不仁，以百姓为刍狗。天地之间，其犹橐龠乎？虚而不屈，动而愈出。多言数穷，不如守中。"),
    ("第六章", "谷神不死，是谓玄牝。玄牝之门，是谓天地根。绵绵若存，用之不勤。"),
    ("第七章", "天长地久。天地所以能长且久者，以其不自生，故能长生。是以圣人后其身而身先，外其身而身存。非以其无私邪？故能成其私。"),
    ("第八章", "上善若水。水善利万物而不争，处众人之所恶，故几于道。居善地，心善渊，与善仁，言善信，政善治，事善能，动善时。夫唯不争，故无尤。"),
]

HEAD = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>{title}</title>
<link rel="stylesheet" type="text/css" href="style.css">
</head>
<body>
"""
TAIL = """</body>
</html>
"""


def write(name, text):
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp936")
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)


def chapter_name(i):
    return "chapter%02d.html" % (i + 1)


def pages():
    for i, (title, body) in enumerate(CHAPTERS):
        nav = []
        if i > 0:
            nav.append('<a href="%s">上一章</a>' % chapter_name(i - 1))
        nav.append('<a href="index.html">封面</a>')
        if i + 1 < len(CHAPTERS):
            nav.append('<a href="%s">下一章</a>' % chapter_name(i + 1))
        sentences = [s + "。" for s in body.split("。") if s]
        paras = "\n".join("<p>%s</p>" % s for s in sentences)
        write(chapter_name(i), HEAD.format(title="道德经 " + title) +
              '<h1>%s</h1>\n%s\n<p class="nav">%s</p>\n' % (title, paras, " | ".join(nav)) + TAIL)

    items = "\n".join('<li><a href="%s">%s</a></li>' % (chapter_name(i), t)
                      for i, (t, _) in enumerate(CHAPTERS))
    write("tree.html", HEAD.format(title="目录") +
          '<h2>道德经</h2>\n<ul class="tree">\n<li><a href="index.html">封面</a></li>\n%s\n</ul>\n'
          % items + TAIL)

    write("index.html", HEAD.format(title="道德经") +
          '<h1>道德经</h1>\n<p class="author">老子 著</p>\n'
          '<p class="cover"><img src="cover.png" alt="道德经" width="160" height="120"></p>\n'
          '<p>《道德经》相传为春秋时老子所作，分上下两篇，共八十一章。本书收录前八章，'
          '作为电子书的示例：左边是目录，点击章节名即可阅读。</p>\n'
          '<p><a href="chapter01.html">从第一章开始阅读</a></p>\n'
          '<p><a href="bell.mp3">播放一段声音</a></p>\n' + TAIL)

    write("style.css", """body { font-family: "SimSun", "WenQuanYi Micro Hei", serif; margin: 1.5em;
       background: #fbf8f0; color: #2b2b2b; line-height: 1.8; }
h1 { font-size: 1.6em; color: #7a2e1a; border-bottom: 1px solid #d8c8a8; }
h2 { font-size: 1.2em; color: #7a2e1a; }
p { text-indent: 2em; }
p.nav, p.author, p.cover { text-indent: 0; text-align: center; }
ul.tree { list-style: none; padding-left: 0.5em; }
ul.tree li { margin: 0.3em 0; }
a { color: #1a4f7a; text-decoration: none; }
a:hover { text-decoration: underline; }
""")

    write("Book.ini", "\n".join([
        "电子书名称：Book",
        "索引页：index.html",
        "目录树：tree.html",
        "输出文件：Book",
        "作者：老子",
        "网址：",
        "更新：",
        "在线书架：",
        "广告：",
    ]) + "\n")


def bell_mp3(name):
    # A struck bell: three sine partials dying away over 1.6 seconds, made by SoX (with its
    # MP3 format, Debian's libsox-fmt-mp3) and kept small at 64 kbit/s.
    subprocess.run(["sox", "-n", "-r", "22050", "-c", "1", "-C", "64",
                    os.path.join(here, name),
                    "synth", "1.6", "sine", "880", "synth", "1.6", "sine", "mix", "2217",
                    "synth", "1.6", "sine", "mix", "1320",
                    "fade", "l", "0.005", "1.6", "1.58", "gain", "-n", "-3"], check=True)


def cover(name):
    # A small picture drawn by ImageMagick; no font is needed.
    subprocess.run(["convert", "-size", "160x120", "gradient:#f3e6c4-#b88a4a",
                    "-fill", "none", "-stroke", "#7a2e1a", "-strokewidth", "3",
                    "-draw", "circle 80,60 80,20", "-draw", "line 80,20 80,100",
                    "-strip", "-depth", "8", "PNG24:" + os.path.join(here, name)], check=True)


if __name__ == "__main__":
    os.makedirs(here, exist_ok=True)
    pages()
    bell_mp3("bell.mp3")
    cover("cover.png")
