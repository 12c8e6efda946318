// Reader of the server's action list (temp.json): a JSON array of objects
// whose string members "o_action", "o_title", "o_url" and "o_hash" say what
// the device is to download, upload or delete.
#pragma once

#include <string>
#include <vector>

namespace kivo::sync {

struct ActionItem {
    std::string action; // as sent; compared without regard to case by the run
    std::string title;
    std::string url;
    std::string hash;
};

// Reads the whole text. False, with items untouched and the reason in
// error, when it is not a JSON array. An element that is not an object
// gives an item with empty members; a member that is missing or not a
// string counts as empty.
bool readActionList(const std::string& text, std::vector<ActionItem>* items, std::string* error);

} // namespace kivo::sync
