// The key table as written out in tests/data/keymap.tsv: the expectations of
// every suite that needs the playable keys come from that one file.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

struct KeyTableRow {
    int scan;
    std::string key; // as printed on a US keyboard
    int octave;
    int semitone;
    std::string label;
    int row;
    int column;
    int note; // in C major
};

inline std::vector<KeyTableRow> ReadKeyTable()
{
    std::vector<KeyTableRow> rows;
    FILE* f = fopen(QF_SOURCE_DIR "/tests/data/keymap.tsv", "r");
    if (!f) return rows;
    char line[256];
    while (fgets(line, sizeof line, f)) {
        if (line[0] == '#' || line[0] == '\n') continue;
        KeyTableRow r;
        char key[8], label[8];
        if (sscanf(line, "%d\t%7s\t%d\t%d\t%7s\t%d\t%d\t%d", &r.scan, key, &r.octave, &r.semitone, label, &r.row,
                   &r.column, &r.note) != 8)
            continue;
        r.key = key;
        r.label = label;
        rows.push_back(r);
    }
    fclose(f);
    return rows;
}
