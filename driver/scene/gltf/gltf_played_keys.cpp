#include "scene/gltf/gltf_played_keys.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "scene/gltf/gltf_accessors.h"

namespace driver::gltf {

namespace {

// Keys count as the same, or a scale as uniform, while they differ by no
// more than this (relative): what single precision keeps of a number that
// an exporter wrote at every key. A pivot moved by d then moves the node
// by no more than d times this in play.
constexpr double kSameKey = 1e-6;

std::size_t ComponentsOf(const ChannelTarget& channel) {
    return std::string(PlacementPart(channel)) == "rotation" ? 4 : 3;
}

const SamplerEntry& SamplerOf(const FileAnimations& file, const ChannelTarget& channel) {
    return file.animations[channel.animation].samplers[*channel.sampler];
}

std::vector<double> Floats(const FileAnimations& file, std::size_t accessor, std::size_t numbers,
                           const BufferReader& read) {
    const AccessorEntry& entry = file.data.accessors[accessor];
    const std::size_t size = ComponentSize(entry) * numbers;
    std::string bytes(size, '\0');  // an accessor without a buffer view holds zeros
    if (entry.view) {
        bytes = read(*file.data.views[*entry.view].buffer, AccessorStart(file.data, accessor), size);
    }
    std::vector<double> values(numbers);
    for (std::size_t i = 0; i < numbers; ++i) {
        values[i] = ComponentValue(entry, bytes, i);
    }
    return values;
}

bool Near(double a, double b, double size) { return std::fabs(a - b) <= kSameKey * std::max(1.0, size); }

// The keys of one channel: each key's value, and how they vary.
struct Keys {
    std::size_t channel = 0;
    std::size_t size = 3;
    std::vector<double> values;  // `size` a key, tangents left out
    bool constant = true;        // every value the same (a rotation's up to sign), tangents nought
    bool uniform = true;         // every number the same along the three axes
    bool step = false;
    std::size_t input = 0;
};

Keys KeysOf(const FileAnimations& file, std::size_t channel, const BufferReader& read) {
    Keys keys;
    keys.channel = channel;
    keys.size = ComponentsOf(file.channels[channel]);
    const SamplerEntry& sampler = SamplerOf(file, file.channels[channel]);
    keys.step = sampler.step;
    keys.input = sampler.input.value_or(static_cast<std::size_t>(-1));
    const std::vector<double> all = ChannelValues(file, channel, read);
    const std::size_t per = sampler.cubic ? 3 : 1;
    for (std::size_t at = 0; at + keys.size * per <= all.size(); at += keys.size * per) {
        for (std::size_t e = 0; e < per; ++e) {
            const double* v = &all[at + e * keys.size];
            const bool tangent = per == 3 && e != 1;
            keys.uniform = keys.uniform && Near(v[0], v[1], std::fabs(v[0])) && Near(v[0], v[2], std::fabs(v[0]));
            for (std::size_t i = 0; tangent && i < keys.size; ++i) {
                keys.constant = keys.constant && Near(v[i], 0, 0);
            }
            if (!tangent) {
                keys.values.insert(keys.values.end(), v, v + keys.size);
            }
        }
    }
    const double* first = keys.values.data();
    for (std::size_t k = keys.size; k < keys.values.size(); k += keys.size) {
        double dot = 0;
        for (std::size_t i = 0; i < keys.size; ++i) {
            dot += first[i] * keys.values[k + i];
        }
        // q and -q are one turn, which a spline does not pass between
        const double sign = keys.size == 4 && dot < 0 && per == 1 ? -1 : 1;
        for (std::size_t i = 0; i < keys.size; ++i) {
            keys.constant = keys.constant && Near(keys.values[k + i], sign * first[i], std::fabs(first[i]));
        }
    }
    return keys;
}

// The node's rest with the rotation and scale of key `k` of those keys
// that drive them (the first of constant ones).
standin::Affine PlayedRest(const NodeChange& change, const Keys* rotation, const Keys* scale, std::size_t k) {
    Trs trs;
    if (!TrsOfAffine(change.rest, change.like, trs)) {
        return change.rest;
    }
    for (const auto& [keys, to] : {std::pair{rotation, trs.rotation}, std::pair{scale, trs.scale}}) {
        if (keys != nullptr) {
            const std::size_t key = keys->constant ? 0 : k;
            std::copy_n(&keys->values[key * keys->size], keys->size, to);
        }
    }
    return AffineOfTrs(trs);
}

// Whether the keys of channels `a` and `b` are at the same times.
bool SameTimes(const FileAnimations& file, const Keys& a, const Keys& b, const BufferReader& read) {
    if (a.input == b.input || a.values.size() / a.size != b.values.size() / b.size) {
        return a.input == b.input;
    }
    const std::size_t count = a.values.size() / a.size;
    for (const std::size_t input : {a.input, b.input}) {
        if (input >= file.data.accessors.size() || AccessorFault(file.data, input, 1, count, file.glb)) {
            return false;
        }
    }
    return Floats(file, a.input, count, read) == Floats(file, b.input, count, read);
}

// Whether the times of `keys` are an accessor of `count` keys.
bool Timed(const FileAnimations& file, const Keys& keys, std::size_t count) {
    return keys.input < file.data.accessors.size() && file.data.accessors[keys.input].count == count;
}

bool SameShift(const NodeChange& a, const NodeChange& b) {
    double x[3], y[3];
    TranslationOffset(a, x);
    TranslationOffset(b, y);
    for (int i = 0; i < 3; ++i) {
        if (!Near(x[i], y[i], std::max(std::fabs(x[i]), std::fabs(y[i])))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<double> ChannelValues(const FileAnimations& file, std::size_t channel, const BufferReader& read) {
    const ChannelTarget& target = file.channels[channel];
    const std::size_t output = *SamplerOf(file, target).output;
    const std::size_t numbers = ComponentsOf(target) * static_cast<std::size_t>(file.data.accessors[output].count);
    try {
        return Floats(file, output, numbers, read);
    } catch (const BufferReadError& e) {
        throw ChannelKeysError(channel, std::string("its keys cannot be read: ") + e.what());
    }
}

void PlayedChange(const FileAnimations& file, const std::vector<std::size_t>& channels, const BufferReader& read,
                  NodeChange& change, PlayedShift& shift) {
    std::optional<Keys> parts[3];  // translation, rotation, scale
    try {
        for (const std::size_t c : channels) {
            const std::string part = PlacementPart(file.channels[c]);
            parts[part == "translation" ? 0 : part == "rotation" ? 1 : 2] = KeysOf(file, c, read);
        }
    } catch (const ChannelKeysError&) {
        return;
    }
    const Keys* translation = parts[0] ? &*parts[0] : nullptr;
    const Keys* rotation = parts[1] ? &*parts[1] : nullptr;
    const Keys* scale = parts[2] ? &*parts[2] : nullptr;
    change.uniformScaleKeys = scale != nullptr && scale->uniform;
    change.constantRotation = rotation != nullptr && rotation->constant;
    if (change.pivotStays) {
        return;
    }
    const Keys* timed = rotation != nullptr ? rotation : scale;  // where new translation keys take their times
    if ((!rotation || rotation->constant) && (!scale || scale->constant)) {
        NodeChange played = change;
        played.rest = PlayedRest(change, rotation, scale, 0);
        // Without translation keys the rest's translation plays: new keys
        // carry the shift where it is not the rest's.
        if (!translation && !SameShift(played, change)) {
            if (!Timed(file, *timed, timed->values.size() / timed->size)) {
                return;
            }
            shift.newKeysAt = timed->channel;
        }
        change.shiftCarried = true;
        change.rest = played.rest;
        return;
    }
    const Keys* steps = translation;
    for (const Keys* keys : {rotation, scale}) {
        steps = steps == nullptr && keys != nullptr && !keys->constant ? keys : steps;
    }
    const std::size_t count = steps->values.size() / steps->size;
    if (!Timed(file, *steps, count)) {
        return;
    }
    // Translation keys step with the others, or are new.
    for (const Keys* keys : {translation, rotation, scale}) {
        if (keys && (keys == translation || !keys->constant) &&
            (!keys->step || keys->values.size() != count * keys->size || !SameTimes(file, *steps, *keys, read))) {
            return;
        }
    }
    NodeChange played = change;
    for (std::size_t k = 0; k < count; ++k) {
        played.rest = PlayedRest(change, rotation, scale, k);
        double offset[3];
        TranslationOffset(played, offset);
        shift.offsets.insert(shift.offsets.end(), offset, offset + 3);
    }
    if (!translation) {
        shift.newKeysAt = steps->channel;
        shift.step = true;
    }
    change.shiftCarried = true;
}

}  // namespace driver::gltf
