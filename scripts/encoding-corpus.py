#!/usr/bin/env python3
"""Measures how well the encoding of a file is found when it has no mark.

The corpus: short and long texts in several languages, each written in
UTF-8 and in the legacy encodings its users meet. Two ways to find the
encoding are compared: Feuillon's rule (valid UTF-8 is UTF-8, else bytes
without NUL are Windows-1252) and libuchardet, when the library is there.
A hit is a file decoded back to its text exactly.
Usage: scripts/encoding-corpus.py
"""
import ctypes
import ctypes.util

TEXTS = {
    "fr": ["Cher ami, je t’écris de la maison d’été : le cœur y est, « Œuvre » "
           "achevée, 5 € la pièce. À bientôt, ça ira mieux après Noël.",
           "Le garçon a reçu une lettre où l’on évoquait la forêt, les rivières "
           "et les châteaux ; il répondit aussitôt, très ému."],
    "de": ["Sehr geehrte Frau Müller, für Ihre Grüße danke ich herzlich. Die "
           "Straße ist schön, das Frühstück kostet 12 € pro Person.",
           "Über den Fluss führt eine Brücke; die Bäume blühen, und die Vögel "
           "singen fröhlich im Süden der Stadt."],
    "es": ["Querida señora: el niño está en el jardín y mañana irá a la "
           "montaña. ¿Cuándo vendrá usted? ¡Qué alegría!",
           "La canción habla del corazón, de la pasión y de un pequeño pueblo "
           "junto al río, según contó mi abuela."],
    "pt": ["Olá! A informação sobre a situação da educação está no relatório; "
           "não há razão para preocupação, obrigado."],
    "it": ["Perché la città è così bella? Però domani andrò là, più tardi, "
           "con l’università e gli amici."],
    "pl": ["Szanowny Panie, dziękuję za list. Źródło wody jest blisko, a "
           "żółta łódź płynie po jeziorze. Pozdrawiam serdecznie.",
           "Gęś i łabędź pływają w stawie; dziewczęta śpiewają piosenkę o "
           "zimie i śniegu."],
    "cs": ["Vážený pane, děkuji za dopis. Příliš žluťoučký kůň úpěl ďábelské "
           "ódy; počasí je krásné a řeka teče klidně."],
    "ru": ["Дорогой друг, спасибо за письмо. Погода хорошая, река течёт "
           "спокойно, а в лесу поют птицы. До встречи!",
           "Съешь же ещё этих мягких французских булок да выпей чаю."],
    "el": ["Αγαπητέ φίλε, σε ευχαριστώ για το γράμμα σου. Ο καιρός είναι "
           "ωραίος και η θάλασσα ήρεμη."],
    "tr": ["Sevgili dostum, mektubun için teşekkür ederim. Hava güzel, "
           "çocuklar bahçede oynuyor ve kuşlar şarkı söylüyor."],
}
LEGACY = {
    "fr": ["cp1252", "iso-8859-15"], "de": ["cp1252"], "es": ["cp1252"],
    "pt": ["cp1252"], "it": ["cp1252"], "pl": ["cp1250", "iso-8859-2"],
    "cs": ["cp1250"], "ru": ["cp1251", "koi8-r"], "el": ["cp1253"],
    "tr": ["cp1254"],
}


def simple_rule(data):
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        pass
    if b"\0" in data:
        return None
    # Windows-1252 as the program reads it: the five bytes it leaves
    # undefined become the control characters of the same value.
    return "".join(bytes([b]).decode("cp1252", errors="ignore") or chr(b) for b in data)


def load_uchardet():
    name = ctypes.util.find_library("uchardet") or "libuchardet.so.0"
    try:
        lib = ctypes.CDLL(name)
    except OSError:
        return None
    lib.uchardet_new.restype = ctypes.c_void_p
    lib.uchardet_handle_data.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
    lib.uchardet_data_end.argtypes = [ctypes.c_void_p]
    lib.uchardet_get_charset.argtypes = [ctypes.c_void_p]
    lib.uchardet_get_charset.restype = ctypes.c_char_p
    lib.uchardet_delete.argtypes = [ctypes.c_void_p]

    def detect(data):
        d = lib.uchardet_new()
        lib.uchardet_handle_data(d, data, len(data))
        lib.uchardet_data_end(d)
        name = lib.uchardet_get_charset(d).decode()
        lib.uchardet_delete(d)
        try:
            return data.decode(name or "ascii")
        except (LookupError, UnicodeDecodeError):
            return None

    return detect


def main():
    samples = []
    for lang, texts in TEXTS.items():
        for text in texts:
            # One line alone, as in a short note, and the whole text three times.
            for body in (text.split(". ")[0] + ".", "\r\n".join([text] * 3)):
                for enc in ["utf-8"] + LEGACY[lang]:
                    # ISO 8859 has no typographic apostrophe: its writers type '.
                    text_in = body if enc != "iso-8859-15" else body.replace("’", "'")
                    samples.append((lang, enc, text_in, text_in.encode(enc)))
    detect = load_uchardet()
    groups = {"French, UTF-8 and Windows-1252": lambda l, e: l == "fr" and e != "iso-8859-15",
              "Western Europe (fr de es pt it), UTF-8 and Windows-1252":
                  lambda l, e: l in ("fr", "de", "es", "pt", "it") and e in ("utf-8", "cp1252"),
              "all": lambda l, e: True}
    for title, keep in groups.items():
        chosen = [s for s in samples if keep(s[0], s[1])]
        simple = sum(simple_rule(s[3]) == s[2] for s in chosen)
        line = f"{title}: {len(chosen)} files; simple rule {simple} ({100 * simple / len(chosen):.0f} %)"
        if detect:
            found = sum(detect(s[3]) == s[2] for s in chosen)
            line += f"; uchardet {found} ({100 * found / len(chosen):.0f} %)"
        print(line)
    misses = [(s[0], s[1], len(s[3])) for s in samples
              if s[0] in ("fr", "de", "es", "pt", "it") and s[1] in ("utf-8", "cp1252")
              and detect and detect(s[3]) != s[2]]
    if misses:
        print("uchardet misses among Western texts:", misses)


if __name__ == "__main__":
    main()
