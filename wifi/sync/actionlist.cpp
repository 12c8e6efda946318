#include "wifi/sync/actionlist.h"

#include <json/json.h>

#include <memory>

namespace kivo::sync {

bool readActionList(const std::string& text, std::vector<ActionItem>* items, std::string* error)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const Json::Exception& e) {
        // The reader throws instead of failing when values nest too deep.
        errors = e.what();
    }
    if (!parsed) {
        *error = errors;
        return false;
    }
    if (!root.isArray()) {
        *error = "the action list is not an array";
        return false;
    }
    auto member = [](const Json::Value& element, const char* key) -> std::string {
        if (!element.isObject())
            return {};
        const Json::Value& value = element[key];
        return value.isString() ? value.asString() : std::string();
    };
    std::vector<ActionItem> read;
    read.reserve(root.size());
    for (const Json::Value& element : root)
        read.push_back({ member(element, "o_action"), member(element, "o_title"), member(element, "o_url"),
            member(element, "o_hash") });
    items->insert(items->end(), read.begin(), read.end());
    return true;
}

} // namespace kivo::sync
