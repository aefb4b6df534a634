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

const SamplerEntry& SamplerOf(const FileAnimations& file, const ChannelTarget& channel) {
    return file.animations[channel.animation].samplers[*channel.sampler];
}

std::vector<double> Floats(const FileAnimations& file, std::size_t accessor, std::size_t numbers,
                           const ViewReader& read) {
    const AccessorEntry& entry = file.data.accessors[accessor];
    const std::size_t size = ComponentSize(entry) * numbers;
    std::string bytes(size, '\0');  // an accessor without a buffer view holds zeros
    if (entry.view) {
        bytes = read(*entry.view, entry.byteOffset, size);
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

Keys KeysOf(const FileAnimations& file, std::size_t channel, const ViewReader& read) {
    Keys keys;
    keys.channel = channel;
    keys.size = KeyComponents(file.channels[channel]);
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
// that drive them (the first of constant ones); none where the rest is
// no TRS.
std::optional<standin::Affine> PlayedRest(const NodeChange& change, const Keys* rotation, const Keys* scale,
                                          std::size_t k) {
    Trs trs;
    if (!TrsOfAffine(change.rest, change.like, trs)) {
        return std::nullopt;
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
bool SameTimes(const FileAnimations& file, const Keys& a, const Keys& b, const ViewReader& read) {
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

// The keys of one animation that drive a node's placement: translation,
// rotation, scale, each none where it drives none.
struct PartKeys {
    std::optional<Keys> part[3];
    const Keys* Of(int at) const { return part[at] ? &*part[at] : nullptr; }
};

// Rotation and scale keys that never change: a constant shift, which the
// translation keys take, or new ones where there are none and it is not
// the rest's.
void ConstantShift(const FileAnimations& file, const PartKeys& keys, NodeChange& change, PlayedShift& shift) {
    NodeChange played = change;
    const std::optional<standin::Affine> rest = PlayedRest(change, keys.Of(1), keys.Of(2), 0);
    if (!rest) {
        return;
    }
    played.rest = *rest;
    const Keys* timed = keys.Of(1) != nullptr ? keys.Of(1) : keys.Of(2);  // the times of new keys
    if (!keys.Of(0) && !SameShift(played, change)) {
        if (!Timed(file, *timed, timed->values.size() / timed->size)) {
            return;
        }
        shift.newKeysAt = timed->channel;
    }
    change.shiftCarried = true;
    change.rest = played.rest;
}

// Rotation and scale keys that step: a shift by steps, which STEP
// translation keys at the same times take, or new ones where there are none.
void SteppedShift(const FileAnimations& file, const PartKeys& keys, const ViewReader& read, NodeChange& change,
                  PlayedShift& shift) {
    const Keys* translation = keys.Of(0);
    const Keys* steps = translation;
    for (const Keys* part : {keys.Of(1), keys.Of(2)}) {
        steps = steps == nullptr && part != nullptr && !part->constant ? part : steps;
    }
    const std::size_t count = steps->values.size() / steps->size;
    if (!Timed(file, *steps, count)) {
        return;
    }
    for (const Keys* part : {translation, keys.Of(1), keys.Of(2)}) {
        if (part && (part == translation || !part->constant) &&
            (!part->step || part->values.size() != count * part->size || !SameTimes(file, *steps, *part, read))) {
            return;
        }
    }
    NodeChange played = change;
    std::vector<double> offsets;
    for (std::size_t k = 0; k < count; ++k) {
        const std::optional<standin::Affine> rest = PlayedRest(change, keys.Of(1), keys.Of(2), k);
        if (!rest) {
            return;
        }
        played.rest = *rest;
        double offset[3];
        TranslationOffset(played, offset);
        offsets.insert(offsets.end(), offset, offset + 3);
    }
    shift.offsets = std::move(offsets);
    if (!translation) {
        shift.newKeysAt = steps->channel;
        shift.step = true;
    }
    change.shiftCarried = true;
}

}  // namespace

std::vector<double> ChannelValues(const FileAnimations& file, std::size_t channel, const ViewReader& read) {
    const ChannelTarget& target = file.channels[channel];
    const std::size_t output = *SamplerOf(file, target).output;
    const std::size_t numbers = KeyComponents(target) * static_cast<std::size_t>(file.data.accessors[output].count);
    try {
        return Floats(file, output, numbers, read);
    } catch (const BufferReadError& e) {
        throw ChannelKeysError(channel, std::string("its keys cannot be read: ") + e.what());
    }
}

void PlayedChange(const FileAnimations& file, const std::vector<std::size_t>& channels, const ViewReader& read,
                  NodeChange& change, PlayedShift& shift) {
    PartKeys keys;
    try {
        for (const std::size_t c : channels) {
            const std::string part = PlacementPart(file.channels[c]);
            const int at = part == "translation" ? 0 : part == "rotation" ? 1 : 2;
            if (keys.part[at]) {
                return;  // two channels of one part: which plays is not told here
            }
            keys.part[at] = KeysOf(file, c, read);
        }
    } catch (const ChannelKeysError&) {
        return;
    }
    const Keys* rotation = keys.Of(1);
    const Keys* scale = keys.Of(2);
    change.uniformScaleKeys = scale != nullptr && scale->uniform;
    change.constantRotation = rotation != nullptr && rotation->constant;
    if (change.pivotStays) {
        return;
    }
    if ((!rotation || rotation->constant) && (!scale || scale->constant)) {
        ConstantShift(file, keys, change, shift);
    } else {
        SteppedShift(file, keys, read, change, shift);
    }
}

}  // namespace driver::gltf
