#include "cli/shot/Recipe.h"

#include "cli/core/CliError.h"
#include "cli/core/PlainText.h"
#include "cli/core/Text.h"
#include "cli/shot/JsonDocument.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace OndrelCli {

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> pathFields = {"module", "input", "output"};

bool isPathField(const std::string& field) {
    return std::find(pathFields.begin(), pathFields.end(), field) != pathFields.end();
}

std::string wholePath(const fs::path& path) {
    return fs::absolute(path).lexically_normal().string();
}

// Reads one recipe, naming where each value came from as `originOf` says.
class RecipeReader {
public:
    RecipeReader(const Json& root, RecipeOrigins originOf, fs::path folder)
        : m_root(root), m_originOf(std::move(originOf)), m_folder(std::move(folder)) {}

    Recipe read() {
        const Json& root = m_root;
        if (!root.is_object()) {
            refuse(Json::json_pointer(), root, "a recipe is a JSON object, { ... }");
        }
        Recipe recipe;
        for (const auto& [field, value] : root.items()) {
            const Json::json_pointer at = Json::json_pointer() / field;
            if (field == "params") {
                readParams(value, at, recipe);
            } else if (std::find(recipeFields().begin(), recipeFields().end(), field) !=
                       recipeFields().end()) {
                recipe.settings[field] = setting(field, value, at);
            } else {
                refuse(at, value,
                       inQuotes(field) + " is not a recipe field; the fields are " +
                           joined(recipeFields()) + " and params");
            }
        }
        return recipe;
    }

private:
    std::string origin(const Json::json_pointer& at, const Json& value) const {
        return m_originOf(at, value);
    }

    [[noreturn]] void refuse(const Json::json_pointer& at, const Json& value,
                             const std::string& what) const {
        throw CliError(origin(at, value) + ": " + what);
    }

    Setting setting(const std::string& field, const Json& value, const Json::json_pointer& at) {
        std::string text;
        if (value.is_string()) {
            text = value.get<std::string>();
        } else if (value.is_number() && !isPathField(field) && field != "effect") {
            text = numberText(value.get<double>());
        } else {
            refuse(at, value,
                   inQuotes(field) + " takes " +
                       (isPathField(field) || field == "effect" ? "text" : "a number or text"));
        }
        if (isPathField(field) && !text.empty()) {
            text = wholePath(m_folder / text);
        }
        return {text, origin(at, value), false};
    }

    // A value as text: numbers as the shortest exact text, lists of numbers joined by commas.
    std::string valueText(const Json& value, const Json::json_pointer& at) const {
        if (value.is_string()) {
            return value.get<std::string>();
        }
        if (value.is_boolean()) {
            return value.get<bool>() ? "on" : "off";
        }
        if (value.is_number()) {
            return numberText(value.get<double>());
        }
        if (value.is_array() && !value.empty() &&
            std::all_of(value.begin(), value.end(), [](const Json& v) { return v.is_number(); })) {
            std::string text;
            for (const auto& v : value) {
                text += (text.empty() ? "" : ",") + numberText(v.get<double>());
            }
            return text;
        }
        refuse(at, value, "a value is a number, text, true or false, or a list of numbers");
    }

    void readParams(const Json& params, const Json::json_pointer& at, Recipe& recipe) {
        if (!params.is_object()) {
            refuse(at, params, "\"params\" is an object of parameter names and their values");
        }
        // Each name once, as JSON objects have them: no search among the earlier ones.
        for (const auto& [name, value] : params.items()) {
            const Json::json_pointer paramAt = at / name;
            RecipeParam& param = recipe.params.emplace_back(
                RecipeParam{name, {}, origin(paramAt, value), {}, false});
            if (value.is_object()) {
                readKeyframes(value, paramAt, param);
            } else {
                param.track.keys.push_back({std::nullopt, valueText(value, paramAt), std::nullopt});
                param.keyOrigins.push_back(param.origin);
            }
        }
    }

    void readKeyframes(const Json& track, const Json::json_pointer& at, RecipeParam& param) {
        for (const auto& [member, value] : track.items()) {
            const Json::json_pointer memberAt = at / member;
            if (member == "interpolation") {
                param.track.interpolation = interpolation(value, memberAt);
            } else if (member != "keys") {
                refuse(memberAt, value,
                       inQuotes(member) + " is not part of keyframes; they have \"keys\" and "
                                          "\"interpolation\"");
            }
        }
        const auto keys = track.find("keys");
        if (keys == track.end() || !keys->is_array() || keys->empty()) {
            refuse(at, track, "keyframes need \"keys\": a list of {\"time\": ..., \"value\": ...}");
        }
        for (std::size_t i = 0; i < keys->size(); ++i) {
            const Json::json_pointer keyAt = at / "keys" / i;
            param.track.keys.push_back(keyframe((*keys)[i], keyAt));
            param.keyOrigins.push_back(origin(keyAt, (*keys)[i]));
        }
    }

    Keyframe keyframe(const Json& key, const Json::json_pointer& at) {
        if (!key.is_object() || !key.contains("time") || !key.contains("value")) {
            refuse(at, key, "a keyframe is {\"time\": ..., \"value\": ...}");
        }
        Keyframe keyframe;
        for (const auto& [member, value] : key.items()) {
            const Json::json_pointer memberAt = at / member;
            if (member == "time") {
                if (!value.is_number() && !value.is_string()) {
                    refuse(memberAt, value, "a time is a frame number, or text such as \"2s\"");
                }
                const Json& time = value; // clang 14 lets no lambda capture a structured binding
                keyframe.time = inContext(
                    origin(memberAt, time),
                    [&] {
                        return parseKeyTime(time.is_number() ? numberText(time.get<double>())
                                                             : time.get<std::string>());
                    },
                    false);
            } else if (member == "value") {
                keyframe.value = valueText(value, memberAt);
            } else if (member == "interpolation") {
                keyframe.interpolation = interpolation(value, memberAt);
            } else {
                refuse(memberAt, value,
                       inQuotes(member) + " is not part of a keyframe; it has \"time\", "
                                          "\"value\" and \"interpolation\"");
            }
        }
        return keyframe;
    }

    OfflineHost::Interpolation interpolation(const Json& value, const Json::json_pointer& at) {
        if (!value.is_string()) {
            refuse(at, value, "an interpolation is \"linear\", \"hold\" or \"ease\"");
        }
        return inContext(
            origin(at, value), [&] { return parseInterpolation(value.get<std::string>()); }, false);
    }

    const Json& m_root;
    RecipeOrigins m_originOf;
    fs::path m_folder;
};

// Whole numbers without a decimal point: 16, not 16.0.
Json numberJson(double value) {
    constexpr double wholeLimit = 1e15;
    if (value == std::floor(value) && std::abs(value) < wholeLimit) {
        return static_cast<long long>(value);
    }
    return value;
}

// A value's text as JSON: a number, a list of numbers (points, colours), or text.
Json valueJson(const std::string& text) {
    if (const auto n = number(text)) {
        return numberJson(*n);
    }
    const auto parts = split(text, ',');
    if (parts.size() > 1 &&
        std::all_of(parts.begin(), parts.end(), [](const auto& p) { return number(p); })) {
        Json list = Json::array();
        for (const auto& p : parts) {
            list.push_back(numberJson(*number(p)));
        }
        return list;
    }
    return text;
}

Json timeJson(const KeyTime& time) {
    return time.inSeconds ? Json(time.text()) : numberJson(time.amount);
}

std::string compact(const Json& value) {
    std::string text = value.dump();
    // "[960,540]" reads better as "[960, 540]" (lists hold only numbers).
    if (value.is_array()) {
        std::string spaced;
        for (const char c : text) {
            spaced += c;
            if (c == ',') {
                spaced += ' ';
            }
        }
        return spaced;
    }
    return text;
}

std::string paramText(const RecipeParam& param) {
    const auto& keys = param.track.keys;
    if (keys.size() == 1 && !keys[0].time && !param.track.interpolation) {
        return compact(valueJson(keys[0].value));
    }
    std::string text = "{";
    if (param.track.interpolation) {
        text += "\"interpolation\": \"" +
                std::string(interpolationName(*param.track.interpolation)) + "\", ";
    }
    text += "\"keys\": [";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Keyframe& key = keys[i];
        text += i == 0 ? "\n" : ",\n";
        text += "      {\"time\": " + compact(timeJson(key.time.value_or(KeyTime{}))) +
                ", \"value\": " + compact(valueJson(key.value));
        if (key.interpolation) {
            text += ", \"interpolation\": \"" + std::string(interpolationName(*key.interpolation)) +
                    "\"";
        }
        text += "}";
    }
    return text + "\n    ]}";
}

} // namespace

const std::vector<std::string>& recipeFields() {
    static const std::vector<std::string> fields = {"effect",     "module",     "input", "output",
                                                    "size",       "depth",      "fps",   "frames",
                                                    "downsample", "compression"};
    return fields;
}

const Setting* Recipe::setting(const std::string& field) const {
    const auto found = settings.find(field);
    return found == settings.end() ? nullptr : &found->second;
}

void Recipe::override(const Recipe& other) {
    for (const auto& [field, value] : other.settings) {
        settings[field] = value;
    }
    for (const auto& p : other.params) {
        if (RecipeParam* same = named(p.name)) {
            *same = p;
        } else {
            params.push_back(p);
        }
    }
}

RecipeParam* Recipe::named(const std::string& name) {
    const auto found = std::find_if(params.begin(), params.end(), [&](const RecipeParam& p) {
        return lower(p.name) == lower(name);
    });
    return found == params.end() ? nullptr : &*found;
}

void Recipe::makePathsWhole() {
    for (const auto& field : pathFields) {
        if (const auto found = settings.find(field); found != settings.end()) {
            found->second.text = wholePath(found->second.text);
        }
    }
}

RecipeParam& Recipe::param(const std::string& name) {
    const auto found = std::find_if(params.begin(), params.end(),
                                    [&](const RecipeParam& p) { return p.name == name; });
    if (found != params.end()) {
        return *found;
    }
    params.push_back(RecipeParam{name, {}, {}, {}, false});
    return params.back();
}

Recipe readRecipe(const fs::path& file) {
    if (file == "-") {
        const std::string text =
            readLimited(std::cin, maxJsonBytes, "the recipe on standard input");
        return parseRecipe(text, "(standard input)", fs::current_path());
    }
    checkPlainText(file.string(), "--recipe " + inQuotes(file.string()));
    std::error_code error;
    if (fs::is_directory(file, error)) {
        throw CliError("cannot read recipe " + inQuotes(file.string()) + ": it is a folder");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw CliError("cannot read recipe " + inQuotes(file.string()) + ": " +
                       (fs::exists(file, error) ? "permission denied" : "no such file"));
    }
    const std::string text = readLimited(in, maxJsonBytes, "recipe " + inQuotes(file.string()));
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    Recipe recipe = parseRecipe(text, file.string(), folder);
    recipe.file = file;
    return recipe;
}

Recipe parseRecipe(std::string_view text, const std::string& name, const fs::path& folder) {
    const JsonDocument document = [&] {
        try {
            return JsonDocument(text);
        } catch (const JsonSyntaxError& e) {
            throw CliError(name + ":" + std::to_string(e.line) + ": " + e.what());
        }
    }();
    return RecipeReader(
               document.root().json(),
               [&](const Json::json_pointer&, const Json& value) {
                   return name + ":" + std::to_string(document.lineOf(value));
               },
               folder)
        .read();
}

Recipe readRecipeJson(const Json& root, const RecipeOrigins& originOf, const fs::path& folder) {
    return RecipeReader(root, originOf, folder).read();
}

std::string recipeText(const Recipe& recipe) {
    std::string text = "{";
    const char* separator = "\n";
    for (const auto& field : recipeFields()) {
        if (const Setting* s = recipe.setting(field)) {
            const bool asText = isPathField(field) || field == "effect" || !number(s->text);
            text += separator + std::string("  ") + Json(field).dump() + ": " +
                    (asText ? Json(s->text) : numberJson(*number(s->text))).dump();
            separator = ",\n";
        }
    }
    text += separator + std::string("  \"params\": {");
    for (std::size_t i = 0; i < recipe.params.size(); ++i) {
        const RecipeParam& param = recipe.params[i];
        text += (i == 0 ? "\n    " : ",\n    ") + Json(param.name).dump() + ": " + paramText(param);
    }
    text += recipe.params.empty() ? "}\n}\n" : "\n  }\n}\n";
    return text;
}

} // namespace OndrelCli
