// Fuzzes the resource writer on the file it really writes: a PE32 file, a few adds, replaces
// and deletes, the commit, and a fresh read of the result. A committed file holds exactly the
// resources asked for, byte for byte; a refused commit leaves the file as it was.
//
// Input: a count of changes and the changes themselves, then the PE32 file.
#include "core/fileio.h"
#include "core/pe.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>
#include <vector>

using namespace folio;

namespace {

struct Expected {
    pe::ResourceId type, name;
    std::uint16_t language;
    Bytes data;
};

// The model: an independent list of what the file must hold after the commit.
class Model {
  public:
    std::vector<Expected> items;

    Expected* find(const pe::ResourceId& t, const pe::ResourceId& n, std::uint16_t lang) {
        for (Expected& e : items) {
            if (e.type == t && e.name == n && e.language == lang) {
                return &e;
            }
        }
        return nullptr;
    }
    void put(const pe::ResourceId& t, const pe::ResourceId& n, std::uint16_t lang, Bytes data) {
        if (Expected* e = find(t, n, lang)) {
            e->data = std::move(data);
        } else {
            items.push_back({t, n, lang, std::move(data)});
        }
    }
    bool erase(const pe::ResourceId& t, const pe::ResourceId& n, std::uint16_t lang) {
        auto it = std::find_if(items.begin(), items.end(), [&](const Expected& e) {
            return e.type == t && e.name == n && e.language == lang;
        });
        if (it == items.end()) {
            return false;
        }
        items.erase(it);
        return true;
    }
};

pe::ResourceId chooseId(fuzz::InputReader& in) {
    switch (in.byte() % 4) {
    case 0:
        return pe::ResourceId::fromId(2110);
    case 1:
        return pe::ResourceId::fromName("CUSTOM");
    case 2:
        return pe::ResourceId::fromId(in.u16());
    default:
        return pe::ResourceId::fromName(in.text(12));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::InputReader in(data, size);
    const std::uint8_t header = in.byte();
    const bool deleteExisting = (header & 0x80) != 0;
    const int changes = header % 8;
    struct Change {
        int kind; // 0 add or replace by ids, 1 replace a stored one, 2 delete a stored one
        pe::ResourceId type, name;
        std::uint16_t language;
        std::uint16_t pick;
        Bytes data;
    };
    std::vector<Change> plan;
    for (int i = 0; i < changes; ++i) {
        Change c;
        c.kind = in.byte() % 3;
        c.type = chooseId(in);
        c.name = chooseId(in);
        c.language = (in.byte() & 1) ? 1033 : in.u16();
        c.pick = in.u16();
        const std::string_view bytes = in.text(96);
        c.data.assign(bytes.begin(), bytes.end());
        plan.push_back(std::move(c));
    }
    const auto file = in.rest();
    const std::string path = fuzz::scratchFolder() + "/book.exe";
    if (!writeFileAtomic(path, file)) {
        fuzz::broken("cannot write the scratch file");
    }

    auto before = pe::PeImage::parse(file, path);
    auto updater = pe::ResourceUpdater::begin(path, deleteExisting);
    if (!updater) {
        return 0; // refused before anything was staged; nothing was written
    }
    if (!before) {
        fuzz::broken("a file the reader refuses is accepted by the writer");
    }

    Model model;
    const std::vector<pe::Resource>& stored = before->resources();
    if (!deleteExisting) {
        for (const pe::Resource& r : stored) {
            // Of one (type, name, language) stored twice, readers see the first.
            if (model.find(r.type, r.name, r.language)) {
                continue;
            }
            const auto d = before->resourceData(r);
            model.put(r.type, r.name, r.language, Bytes(d.begin(), d.end()));
        }
    }
    for (Change& c : plan) {
        if (c.kind != 0 && !stored.empty()) {
            const pe::Resource& r = stored[c.pick % stored.size()];
            c.type = r.type;
            c.name = r.name;
            c.language = r.language;
        }
        if (c.kind == 2) {
            const bool had = model.erase(c.type, c.name, c.language);
            if (updater->remove(c.type, c.name, c.language) != had) {
                fuzz::broken("delete disagrees with the model on whether the resource exists");
            }
        } else {
            model.put(c.type, c.name, c.language, c.data);
            updater->update(c.type, c.name, c.language, c.data);
        }
    }
    if (updater->count() != model.items.size()) {
        fuzz::broken("staged count " + std::to_string(updater->count()) + ", model " +
                     std::to_string(model.items.size()));
    }

    auto committed = updater->end(false);
    auto after = readFileBytes(path);
    if (!after) {
        fuzz::broken("the target vanished: " + after.error().message);
    }
    if (!committed) {
        if (!std::equal(after->begin(), after->end(), file.begin(), file.end())) {
            fuzz::broken("a refused commit changed the file: " + committed.error().message);
        }
        return 0;
    }
    auto image = pe::PeImage::parse(*after, path);
    if (!image) {
        fuzz::broken("the committed file does not read back: " + image.error().message);
    }
    if (image->resources().size() != model.items.size()) {
        fuzz::broken("committed " + std::to_string(image->resources().size()) +
                     " resources, asked for " + std::to_string(model.items.size()));
    }
    for (const Expected& e : model.items) {
        const pe::Resource* r = image->find(e.type, e.name, e.language);
        if (r == nullptr) {
            fuzz::broken("resource missing after the commit: " + e.type.toString() + "/" +
                         e.name.toString());
        }
        const auto d = image->resourceData(*r);
        if (!std::equal(d.begin(), d.end(), e.data.begin(), e.data.end())) {
            fuzz::broken("resource changed by the commit: " + e.type.toString() + "/" +
                         e.name.toString());
        }
    }
    return 0;
}
