// folio search: the pages of a Book image that hold a text, each with the text around it.
#include "cli/console.h"
#include "reader/core/booksearch.h"

#include <iostream>

namespace folio::cli {

// Exit status as grep's: found, not found, trouble.
int searchCommand(const std::vector<std::string>& args) {
    constexpr int Found = 0, NotFound = 1, Trouble = 2;
    std::vector<std::string> operands;
    for (const std::string& a : args) {
        if (a.starts_with("--"))
            return usageError("unknown option " + a);
        operands.push_back(a);
    }
    if (operands.size() != 2)
        return usageError("search needs a book and a text");
    if (operands[1].find_first_not_of(" \t\r\n") == std::string::npos)
        return usageError("search needs a text that is not blank");
    auto book = openBook(operands[0]);
    if (!book) {
        std::cerr << "folio: " << printable(book.error().message) << "\n";
        return Trouble;
    }
    reader::BookSearch search(**book);
    const std::vector<reader::SearchHit> hits = search.find(operands[1]);
    for (const reader::SearchHit& hit : hits)
        std::cout << printable(hit.name) << "\t" << printable(hit.snippet) << "\n";
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "folio: cannot write the results\n";
        return Trouble;
    }
    return hits.empty() ? NotFound : Found;
}

} // namespace folio::cli
