// Pass-through of what a caller does not handle: the unrequested properties
// of an element kept in a raw block per instance, and whole elements read
// raw and written out again unchanged.

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "libply/ply_internal.h"

namespace {

constexpr int kSlotSizes[] = {8, 4, 2, 1};  // larger slots first keeps each aligned

ply_property_def* copy_of(const ply_property_def* prop) {
    auto* copy = static_cast<ply_property_def*>(PLY_ALLOC(sizeof(ply_property_def)));
    clone_property(copy, prop);
    return copy;
}

ply_other_props* describe_unrequested(const ply_element_def* elem) {
    auto* other = static_cast<ply_other_props*>(PLY_ALLOC(sizeof(ply_other_props)));
    other->name = ply_strdup(elem->name);
    other->size = elem->other_size;
    other->property_count = 0;
    other->properties = static_cast<ply_property_def**>(
        PLY_ALLOC(sizeof(ply_property_def*) * size_t(elem->property_count)));
    for (int k = 0; k < elem->property_count; ++k) {
        if (elem->wanted[k]) continue;
        other->properties[other->property_count++] = copy_of(elem->properties[k]);
    }
    return other;
}

// Room for the element array of a write handle grown by extra entries,
// keeping the power-of-two room that appending one at a time relies on.
void grow_elements_for(ply_handle* plyfile, int extra) {
    int old_count = plyfile->element_count;
    int new_count = old_count + extra;
    size_t room = 1;
    while (room < size_t(new_count)) room *= 2;
    if (old_count == 0) {
        void* elements = std::calloc(room, sizeof(ply_element_def*));
        if (elements == nullptr) {
            std::fprintf(stderr, "Memory allocation failed on line %d in %s\n", __LINE__,
                         ply_source_name(__FILE__));
            ply_exit(-1);
        }
        std::free(plyfile->elements);
        plyfile->elements = static_cast<ply_element_def**>(elements);
        return;
    }
    void* elements = std::realloc(plyfile->elements, room * sizeof(ply_element_def*));
    if (elements == nullptr) {
        std::fprintf(stderr, "Memory reallocation failed on line %d in %s\n", __LINE__,
                     ply_source_name(__FILE__));
        std::fprintf(stderr, "  tried to reallocate %d->%d\n", old_count, new_count);
        ply_exit(-1);
    }
    plyfile->elements = static_cast<ply_element_def**>(elements);
    std::memset(plyfile->elements + old_count, 0,
                (room - size_t(old_count)) * sizeof(ply_element_def*));
}

// In a binary file the instances of an element without properties occupy
// no bytes.
bool holds_no_data(const ply_handle* plyfile, const ply_element_def* elem) {
    return plyfile->file_type != PLY_ASCII && elem->property_count == 0;
}

}  // namespace

void layout_other_properties(ply_element_def* elem) {
    int total = 0;
    const int pointer_size = int(sizeof(void*));
    for (int slot : kSlotSizes) {
        for (int k = 0; k < elem->property_count; ++k) {
            if (elem->wanted[k]) continue;
            ply_property_def* prop = elem->properties[k];
            prop->memory_type = prop->disk_type;
            prop->count_memory_type = prop->count_disk_type;
            if (prop->is_list) {
                if (slot == pointer_size) {
                    prop->memory_offset = total;
                    total += pointer_size;
                }
                if (slot == ply_type_size(prop->count_disk_type)) {
                    prop->count_offset = total;
                    total += slot;
                }
            } else if (slot == ply_type_size(prop->disk_type)) {
                prop->memory_offset = total;
                total += slot;
            }
        }
    }
    elem->other_size = total;
}

ply_other_props* ply_get_other_properties(ply_handle* plyfile, const char* elem_name, int offset) {
    ply_element_def* elem = lookup_element(plyfile, elem_name);
    if (elem == nullptr) {
        std::fprintf(stderr, "ply_get_other_properties: Can't find element '%s'\n", elem_name);
        return nullptr;
    }
    plyfile->current_element = elem;
    elem->other_offset = offset;
    layout_other_properties(elem);
    ply_other_props* other = describe_unrequested(elem);
    if (other->property_count == 0) elem->other_offset = -1;
    return other;
}

ply_other_element_list* ply_get_other_element(ply_handle* plyfile, const char* elem_name,
                                              int elem_count) {
    ply_element_def* elem = lookup_element(plyfile, elem_name);
    if (elem == nullptr) {
        std::fprintf(stderr, "ply_get_other_element: can't find element '%s'\n", elem_name);
        ply_exit(-1);
    }
    ply_other_element_list* list = plyfile->other_elements;
    if (list == nullptr) {
        list = static_cast<ply_other_element_list*>(PLY_ALLOC(sizeof(ply_other_element_list)));
        list->count = 0;
        list->elements = nullptr;
        plyfile->other_elements = list;
    }
    list->elements = static_cast<ply_other_element*>(
        ply_grow_array(list->elements, list->count, sizeof(ply_other_element)));
    ply_other_element* entry = &list->elements[list->count++];
    entry->name = ply_strdup(elem_name);
    entry->instance_count = 0;
    entry->instances = nullptr;
    // The whole element goes into the raw blocks: the small per-instance
    // records have no room for properties selected earlier.
    if (elem->property_count > 0) std::memset(elem->wanted, 0, size_t(elem->property_count));
    entry->other_props =
        ply_get_other_properties(plyfile, elem_name, offsetof(ply_other_data, block));
    plyfile->current_element = elem;
    if (holds_no_data(plyfile, elem)) {
        // Nothing to read, and no record per instance: a header may declare
        // billions of them. Every instance is the same empty record.
        entry->instance_count = elem_count > 0 ? elem_count : 0;
        return list;
    }
    for (int i = 0; i < elem_count; ++i) {
        entry->instances = static_cast<ply_other_data**>(
            ply_grow_array(entry->instances, i, sizeof(ply_other_data*)));
        auto* record = static_cast<ply_other_data*>(PLY_ALLOC(sizeof(ply_other_data)));
        record->block = nullptr;
        entry->instances[i] = record;
        entry->instance_count = i + 1;
        ply_get_element(plyfile, record);
    }
    return list;
}

void ply_declare_other_elements(ply_handle* plyfile, ply_other_element_list* other_elems) {
    if (other_elems == nullptr) return;
    plyfile->other_elements = other_elems;
    grow_elements_for(plyfile, other_elems->count);
    for (int i = 0; i < other_elems->count; ++i) {
        const ply_other_element* entry = &other_elems->elements[i];
        plyfile->elements[plyfile->element_count++] =
            ply_new_element(entry->name, entry->instance_count);
        ply_describe_other_properties(plyfile, entry->other_props, offsetof(ply_other_data, block));
    }
}

void ply_describe_other_properties(ply_handle* plyfile, const ply_other_props* other, int offset) {
    if (other == nullptr) return;
    ply_element_def* elem = lookup_element(plyfile, other->name);
    if (elem == nullptr) {
        std::fprintf(stderr, "ply_describe_other_properties: can't find element '%s'\n",
                     other->name);
        return;
    }
    for (int k = 0; k < other->property_count; ++k) {
        ply_append_property(elem, copy_of(other->properties[k]), 0);
    }
    elem->other_size = other->size;
    elem->other_offset = offset;
}

void ply_write_other_elements(ply_handle* plyfile) {
    const ply_other_element_list* list = plyfile->other_elements;
    if (list == nullptr) return;
    for (int i = 0; i < list->count; ++i) {
        const ply_other_element* entry = &list->elements[i];
        ply_elements_setup(plyfile, entry->name);
        if (entry->instances == nullptr) {
            // Instances without data: nothing to write in binary, an empty
            // line each in text.
            if (plyfile->file_type != PLY_ASCII) continue;
            ply_other_data empty{nullptr};
            for (int j = 0; j < entry->instance_count; ++j) ply_write_element(plyfile, &empty);
            continue;
        }
        for (int j = 0; j < entry->instance_count; ++j) {
            ply_write_element(plyfile, entry->instances[j]);
        }
    }
}

void ply_free_other_block(const ply_other_props* other, void* block) {
    if (block == nullptr) return;
    auto* bytes = static_cast<char*>(block);
    for (int k = 0; k < other->property_count; ++k) {
        const ply_property_def* prop = other->properties[k];
        if (!prop->is_list) continue;
        void* items;
        std::memcpy(&items, bytes + prop->memory_offset, sizeof(items));
        std::free(items);
    }
    std::free(block);
}

void ply_free_other_props(ply_other_props* other) {
    if (other == nullptr) return;
    ply_free_properties(other->property_count, other->properties);
    std::free(other->name);
    std::free(other);
}

void ply_release_other_elements(ply_other_element_list* other_elems) {
    if (other_elems == nullptr) return;
    for (int i = 0; i < other_elems->count; ++i) {
        ply_other_element* entry = &other_elems->elements[i];
        for (int j = 0; j < entry->instance_count && entry->instances != nullptr; ++j) {
            if (entry->other_props != nullptr) {
                ply_free_other_block(entry->other_props, entry->instances[j]->block);
            }
            std::free(entry->instances[j]);
        }
        std::free(entry->instances);
        ply_free_other_props(entry->other_props);
        std::free(entry->name);
    }
    std::free(other_elems->elements);
    std::free(other_elems);
}
