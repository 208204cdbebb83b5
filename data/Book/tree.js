/* The contents tree of a book: entries added with d.add(id, parentId, caption, url), drawn as
   collapsible branches. Plain ES5 for every browser a book meets. Links are plain: the reader
   shows every page the contents pane opens in its page pane. */
function ContentsTree(name) {
    this.name = name;
    this.entries = [];
    this.nodes = [];
    this.current = null;
}

ContentsTree.prototype.add = function (id, parentId, caption, url) {
    this.entries.push({
        id: String(id),
        parentId: String(parentId),
        caption: caption === undefined || caption === null ? '' : String(caption),
        url: url === undefined || url === null ? '' : String(url),
        children: [],
        open: false,
        element: null,
        link: null,
        list: null,
        toggle: null
    });
};

/* Numbers are kept with a '#' in front, so that no number can name a property every object
   has. The first entry with a number is the parent of every entry naming that number. An entry
   naming no entry, or itself, stands at the top; entries caught in a loop of parents are put
   at the top as well, so every entry is drawn exactly once. */
ContentsTree.prototype.build = function () {
    var byId = {}, roots = [], i, e, parent;
    for (i = 0; i < this.entries.length; i++) {
        e = this.entries[i];
        e.children = [];
        if (!Object.prototype.hasOwnProperty.call(byId, '#' + e.id)) {
            byId['#' + e.id] = e;
        }
    }
    for (i = 0; i < this.entries.length; i++) {
        e = this.entries[i];
        parent = Object.prototype.hasOwnProperty.call(byId, '#' + e.parentId) ? byId['#' + e.parentId] : null;
        if (parent && parent !== e) {
            parent.children.push(e);
        } else {
            roots.push(e);
        }
    }
    var reached = [], self = this;
    function mark(list) {
        for (var k = 0; k < list.length; k++) {
            if (!list[k].reached) {
                list[k].reached = true;
                reached.push(list[k]);
                mark(list[k].children);
            }
        }
    }
    for (i = 0; i < this.entries.length; i++) {
        this.entries[i].reached = false;
    }
    mark(roots);
    for (i = 0; i < this.entries.length; i++) {
        e = this.entries[i];
        if (!e.reached) {
            parent = byId['#' + e.parentId];
            if (parent) {
                parent.children.splice(self.indexOf(parent.children, e), 1);
            }
            roots.push(e);
            mark([e]);
        }
    }
    return roots;
};

ContentsTree.prototype.indexOf = function (list, item) {
    for (var i = 0; i < list.length; i++) {
        if (list[i] === item) {
            return i;
        }
    }
    return -1;
};

ContentsTree.prototype.draw = function (container) {
    if (!container) {
        return;
    }
    while (container.firstChild) {
        container.removeChild(container.firstChild);
    }
    if (this.entries.length === 0) {
        var note = document.createElement('p');
        note.className = 'tree-note';
        note.appendChild(document.createTextNode('Ŀ¼�ǿյġ�'));
        container.appendChild(note);
        return;
    }
    var roots = this.build();
    container.appendChild(this.drawList(roots, true));
    // The first level of the book stands open.
    for (var i = 0; i < roots.length; i++) {
        this.setOpen(roots[i], true);
    }
};

ContentsTree.prototype.drawList = function (entries, top) {
    var ul = document.createElement('ul');
    ul.className = top ? 'tree-list tree-top' : 'tree-list';
    for (var i = 0; i < entries.length; i++) {
        ul.appendChild(this.drawEntry(entries[i]));
    }
    return ul;
};

ContentsTree.prototype.drawEntry = function (e) {
    var self = this;
    var li = document.createElement('li');
    var toggle = document.createElement('span');
    var link = document.createElement('a');
    e.element = li;
    e.toggle = toggle;
    e.link = link;
    li.className = e.children.length ? 'tree-branch' : 'tree-leaf';
    toggle.className = 'tree-toggle';
    toggle.appendChild(document.createTextNode(e.children.length ? '+' : ''));
    toggle.onclick = function () {
        self.setOpen(e, !e.open);
        return false;
    };
    link.className = 'tree-link';
    link.href = e.url ? e.url : 'javascript:void(0)';
    link.appendChild(document.createTextNode(e.caption));
    link.onclick = function () {
        self.select(e);
        if (e.children.length) {
            self.setOpen(e, e.url ? true : !e.open);
        }
        return e.url ? true : false;
    };
    li.appendChild(toggle);
    li.appendChild(link);
    if (e.children.length) {
        e.list = this.drawList(e.children, false);
        e.list.style.display = 'none';
        li.appendChild(e.list);
    }
    this.nodes.push(e);
    return li;
};

ContentsTree.prototype.setOpen = function (e, open) {
    if (!e.list) {
        return;
    }
    e.open = open;
    e.list.style.display = open ? '' : 'none';
    e.toggle.firstChild.nodeValue = open ? '-' : '+';
    e.element.className = open ? 'tree-branch tree-open' : 'tree-branch';
};

ContentsTree.prototype.select = function (e) {
    if (this.current && this.current.link) {
        this.current.link.className = 'tree-link';
    }
    this.current = e;
    e.link.className = 'tree-link tree-current';
};

ContentsTree.prototype.openAll = function () {
    for (var i = 0; i < this.nodes.length; i++) {
        this.setOpen(this.nodes[i], true);
    }
};

ContentsTree.prototype.closeAll = function () {
    for (var i = 0; i < this.nodes.length; i++) {
        this.setOpen(this.nodes[i], false);
    }
};
