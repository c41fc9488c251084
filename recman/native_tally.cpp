// The triggers that keep a native file's counts.
#include "recman/native_tally.h"

namespace recman {

std::string KeyTableName(int key) {
    return "key_" + std::to_string(key);
}

namespace {

std::string Bump(const std::string& name, const char* by) {
    return "UPDATE tally SET n=n" + std::string(by) + " WHERE name='" + name + "';";
}

}  // namespace

std::string TallySchema(const FileDef& def) {
    std::string sql =
        "CREATE TABLE tally(name TEXT PRIMARY KEY, n INTEGER NOT NULL) WITHOUT ROWID;"
        "INSERT INTO tally VALUES('" +
        std::string(kTallyRecords) +
        "', 0);"
        "CREATE TRIGGER tally_record_in AFTER INSERT ON records BEGIN " +
        Bump(kTallyRecords, "+1") +
        " END;"
        "CREATE TRIGGER tally_record_out AFTER DELETE ON records BEGIN " +
        Bump(kTallyRecords, "-1") + " END;";
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const std::string t = KeyTableName(static_cast<int>(k));
        sql += "INSERT INTO tally VALUES('" + t + "', 0);";
        if (def.keys[k].Duplicates()) {
            // A value counts once, however many records share it.
            sql += "CREATE TRIGGER tally_" + t + "_in AFTER INSERT ON " + t +
                   " WHEN NOT EXISTS(SELECT 1 FROM " + t +
                   " WHERE k=NEW.k AND seq<>NEW.seq) BEGIN " + Bump(t, "+1") + " END;";
            sql += "CREATE TRIGGER tally_" + t + "_out AFTER DELETE ON " + t +
                   " WHEN NOT EXISTS(SELECT 1 FROM " + t + " WHERE k=OLD.k) BEGIN " +
                   Bump(t, "-1") + " END;";
        } else {
            sql += "CREATE TRIGGER tally_" + t + "_in AFTER INSERT ON " + t + " BEGIN " +
                   Bump(t, "+1") + " END;";
            sql += "CREATE TRIGGER tally_" + t + "_out AFTER DELETE ON " + t + " BEGIN " +
                   Bump(t, "-1") + " END;";
        }
    }
    return sql;
}

}  // namespace recman
