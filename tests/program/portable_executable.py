"""Reads what the checks of the linked programs need from a 32-bit Windows executable: its
header's version fields, the functions it imports and its resources."""
import struct


class PortableExecutable:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        header = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[header:header + 4] != b"PE\0\0":
            raise ValueError(f"{path} is not a Windows executable")
        coff = header + 4
        self.machine, sections, self.timestamp = struct.unpack_from("<HHI", self.data, coff)
        optional_size = struct.unpack_from("<H", self.data, coff + 16)[0]
        self.optional = coff + 20
        magic = struct.unpack_from("<H", self.data, self.optional)[0]
        if magic != 0x10B:
            raise ValueError(f"{path} is not a 32-bit executable")
        self.sections = []
        table = self.optional + optional_size
        for n in range(sections):
            name, virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", self.data, table + 40 * n)
            self.sections.append((name.rstrip(b"\0").decode(), address,
                                  max(virtual_size, raw_size), raw_offset))

    def field(self, offset, form="<H"):
        return struct.unpack_from(form, self.data, self.optional + offset)[0]

    def versions(self):
        """The operating system and subsystem versions that the header asks for."""
        return {"os": (self.field(40), self.field(42)),
                "subsystem": (self.field(48), self.field(50))}

    def directory(self, index):
        return struct.unpack_from("<II", self.data, self.optional + 96 + 8 * index)

    def offset(self, address):
        for _name, start, size, raw in self.sections:
            if start <= address < start + size:
                return address - start + raw
        raise ValueError(f"address {address:#x} is in no section")

    def text(self, address):
        start = self.offset(address)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """{library name in upper case: [function names]}; an ordinal import as '#N'."""
        address, _size = self.directory(1)
        found = {}
        descriptor = self.offset(address)
        while True:
            lookup, _time, _chain, name, first_thunk = struct.unpack_from("<IIIII", self.data,
                                                                          descriptor)
            if name == 0:
                return found
            functions = found.setdefault(self.text(name).upper(), [])
            thunk = self.offset(lookup or first_thunk)
            while True:
                entry = struct.unpack_from("<I", self.data, thunk)[0]
                if entry == 0:
                    break
                functions.append(f"#{entry & 0xFFFF}" if entry & 0x80000000
                                 else self.text(entry + 2))
                thunk += 4
            descriptor += 20

    def resource(self, kind, name):
        """The bytes of the resource of this type and integer id, in its first language."""
        base_address, _size = self.directory(2)
        base = self.offset(base_address)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for n in range(named + numbered):
                yield struct.unpack_from("<II", self.data, base + directory + 16 + 8 * n)

        def child(directory, wanted):
            for key, target in entries(directory):
                if wanted is None or key == wanted:
                    return target & 0x7FFFFFFF
            raise KeyError(f"resource {kind}/{name} not found")

        leaf = child(child(child(0, kind), name), None)
        address, size = struct.unpack_from("<II", self.data, base + leaf)
        start = self.offset(address)
        return self.data[start:start + size]


def version_strings(data):
    """The texts of a version resource's string tables: {key: value}. Every node of the resource
    has the same header (length, value length, type, key); a text value's length is counted in
    characters, any other in bytes, and the children follow the value."""
    strings = {}

    def nodes(at, end):
        while at + 6 <= end:
            length, value_length, is_text = struct.unpack_from("<HHH", data, at)
            if length == 0:
                return
            key, value_at = read_sz_or_ordinal(data, at + 6)
            value_at = (value_at + 3) & ~3
            value_size = 2 * value_length if is_text else value_length
            if is_text and value_length:
                strings[key] = data[value_at:value_at + value_size].decode("utf-16-le").rstrip("\0")
            nodes((value_at + value_size + 3) & ~3, at + length)
            at = (at + length + 3) & ~3

    nodes(0, len(data))
    return strings


def fixed_file_versions(data):
    """The file and product versions of a version resource's fixed part (VS_FIXEDFILEINFO), each as
    four numbers; it follows the root node's key and starts with its signature."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        raise ValueError("the version resource has no fixed part")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", data, at + 8)

    def numbers(most, least):
        return (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)

    return numbers(file_ms, file_ls), numbers(product_ms, product_ls)


def read_sz_or_ordinal(data, at):
    """A dialog template's name field: an ordinal (0xFFFF, number) or a zero-terminated string.
    Returns the value and the offset after it."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def extended_dialog(data):
    """An extended dialog template: its own fields and its controls, in template order."""
    version, signature, _help, ex_style, style, count, x, y, cx, cy = struct.unpack_from(
        "<HHIIIHhhhh", data, 0)
    if (version, signature) != (1, 0xFFFF):
        raise ValueError("not an extended dialog template")
    menu, at = read_sz_or_ordinal(data, 26)
    window_class, at = read_sz_or_ordinal(data, at)
    title, at = read_sz_or_ordinal(data, at)
    dialog = {"style": style, "ex_style": ex_style, "rect": (x, y, cx, cy), "menu": menu,
              "class": window_class, "title": title, "controls": []}
    DS_SETFONT, DS_SHELLFONT = 0x40, 0x48
    if style & DS_SETFONT or style & DS_SHELLFONT == DS_SHELLFONT:
        points, weight, italic, charset = struct.unpack_from("<HHBB", data, at)
        typeface, at = read_sz_or_ordinal(data, at + 6)
        dialog["font"] = (points, weight, italic, charset, typeface)
    for _ in range(count):
        at = (at + 3) & ~3
        _help, ex_style, style, x, y, cx, cy, identifier = struct.unpack_from(
            "<IIIhhhhi", data, at)
        control_class, at = read_sz_or_ordinal(data, at + 24)
        text, at = read_sz_or_ordinal(data, at)
        extra = struct.unpack_from("<H", data, at)[0]
        at += 2 + extra
        dialog["controls"].append({"class": control_class, "text": text, "style": style,
                                   "ex_style": ex_style, "rect": (x, y, cx, cy),
                                   "id": identifier})
    return dialog
