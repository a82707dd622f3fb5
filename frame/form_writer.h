// Writer of the binary form data (layout in frame/form_format.h): the inverse
// of ReadForms.
//
// The writer serializes what it is given and computes the header's record
// offsets and each record's length; it does not judge the templates' content
// (kinds, ids, parents, child lists). Reading the result back with ReadForms
// is the check for that. Portable: no Windows header here.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/byte_cursor.h"
#include "frame/form_reader.h"

// Replaces *out with the serialized forms. Returns false (and leaves *out
// empty) when the forms cannot be represented: a name, comment or tag that
// holds a NUL byte, or a count, length or offset beyond 32 bits.
bool WriteForms(const std::vector<FormTemplate>& forms, std::vector<uint8_t>* out);

// Appends one FormUnitRecord (length word included) for unit to writer.
void WriteFormUnitRecord(const FormUnit& unit, ByteWriter& writer);
