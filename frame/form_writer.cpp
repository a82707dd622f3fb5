#include "frame/form_writer.h"

void WriteFormUnitRecord(const FormUnit& unit, ByteWriter& writer) {
  size_t lengthAt = writer.Size();
  writer.U32(0);  // patched below
  writer.U32(unit.kind);
  writer.Zeros(kRecordReservedSize);
  writer.CString(unit.name);
  writer.CString(unit.comment);
  writer.U32(0);
  writer.I32(unit.left);
  writer.I32(unit.top);
  writer.I32(unit.width);
  writer.I32(unit.height);
  writer.U32(0);
  writer.U32(unit.parentId);
  writer.U32(uint32_t(unit.children.size()));
  for (uint32_t child : unit.children) writer.U32(child);
  writer.Blob(unit.cursorData);
  writer.CString(unit.tag);
  writer.U32(0);
  writer.U32(unit.flags);
  writer.U32(0);
  writer.U32(uint32_t(unit.events.size()));
  for (const FormEvent& event : unit.events) {
    writer.I32(event.eventNumber);
    writer.I32(event.handlerOffset);
  }
  writer.Zeros(kRecordReservedSize);
  writer.Bytes(unit.props.data(), unit.props.size());
  writer.PatchU32(lengthAt, uint32_t(writer.Size() - lengthAt - 4));
}

bool WriteForms(const std::vector<FormTemplate>& forms, std::vector<uint8_t>* out) {
  out->clear();
  size_t headerSize = kFormHeaderSize;
  for (const FormTemplate& form : forms) headerSize += kFormEntrySize + kFormUnitEntrySize * form.units.size();

  // Records first, so that the header can carry their offsets.
  ByteWriter records;
  std::vector<size_t> offsets;
  for (const FormTemplate& form : forms) {
    for (const FormUnit& unit : form.units) {
      offsets.push_back(headerSize + records.Size());
      size_t start = records.Size();
      WriteFormUnitRecord(unit, records);
      if (records.Size() - start - 4 > UINT32_MAX || unit.children.size() > UINT32_MAX ||
          unit.events.size() > UINT32_MAX) {
        return false;
      }
    }
  }
  if (!records.Ok() || headerSize + records.Size() > UINT32_MAX || forms.size() > UINT32_MAX) return false;

  ByteWriter header;
  header.U32(kFormMagic);
  header.U32(kFormFormatVersion);
  header.U32(uint32_t(forms.size()));
  size_t next = 0;
  for (const FormTemplate& form : forms) {
    header.U32(form.windowId);
    header.U32(uint32_t(form.units.size()));
    for (const FormUnit& unit : form.units) {
      header.U32(unit.unitId);
      header.U32(uint32_t(offsets[next++]));
    }
  }
  *out = header.Take();
  const std::vector<uint8_t>& body = records.Data();
  out->insert(out->end(), body.begin(), body.end());
  return true;
}
