"""The work of bench_table done with python3-dbf; prints both times and the ratio."""
import datetime
import json
import os
import sys
import tempfile
import time

import dbf

FIELD_LIST = ("NAME C(40); ADDR C(80); ID N(9,0); KIND N(4,0); D_START D; D_END D; CODE C(13); "
        "PHONE C(20); AMOUNT N(10,2); NOTE C(30); UNIT N(9,0); FLAG C(1)")


def row(i):
    return ("Поликлиника № %d" % i, "г. Сарвенск, ул. Ленина, д. %d" % (i % 300), i, i % 73,
            datetime.date(2016, 9, 27) + datetime.timedelta(days=i % 1000), None,
            "3300000000000", "8-4922-%06d" % (i % 100000), (i % 1000) + 0.5, "примечание",
            i % 19 + 1, "*")


def timed(work):
    start = time.perf_counter()
    work()
    return (time.perf_counter() - start) * 1000.0


def main():
    n = int(sys.argv[1])
    ours = {b["name"]: b["real_time"] for b in json.load(open(sys.argv[2]))["benchmarks"]}
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "BENCH.DBF")
        table = dbf.Table(path, FIELD_LIST, codepage="cp866")
        table.open(dbf.READ_WRITE)

        def append():
            for i in range(1, n + 1):
                table.append(row(i))

        def scan():
            chars = 0
            for record in table:
                for name in table.field_names:
                    chars += len(str(record[name]))

        def edit():
            for record in table:
                with record:
                    record.kind = 5

        def pack():
            for i, record in enumerate(table):
                if i % 2 == 0:
                    dbf.delete(record)
            start = time.perf_counter()
            table.pack()
            return (time.perf_counter() - start) * 1000.0

        results = [
            ("append", "BM_Append100k/0", timed(append)),
            ("scan every field as text", "BM_ScanAllFieldsAsText", timed(scan)),
            ("edit+post every record", "BM_EditPostEveryRecord", timed(edit)),
            ("pack, half deleted", "BM_PackHalfDeleted/iterations:3", pack()),
        ]
        table.close()
    print("%-26s %12s %14s %8s" % ("work (%d records)" % n, "ours ms", "python3-dbf ms", "ratio"))
    for label, key, theirs in results:
        mine = ours[key]
        print("%-26s %12.1f %14.1f %7.1fx" % (label, mine, theirs, theirs / mine))


if __name__ == "__main__":
    main()
