"""Reads and writes dBase tables with other people's libraries, for the interop tests.

    interop.py dbf-read PATH       print the records as read by python3-dbf
    interop.py dbfread-read PATH   print the records as read by python3-dbfread
    interop.py dbf-write PATH      write a table with python3-dbf

Records are printed one per line as JSON: [deleted, {field: value}], values as text.
"""
import datetime
import json
import sys


def text(value):
    if value is None:
        return ""
    if isinstance(value, (datetime.date,)):
        return value.strftime("%Y%m%d")
    if isinstance(value, bool):
        return "T" if value else "F"
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value).rstrip()


def dbf_read(path):
    import dbf

    table = dbf.Table(path, codepage="cp866")
    table.open(dbf.READ_ONLY)
    for record in table:
        fields = {name.upper(): text(record[name]) for name in table.field_names}
        print(json.dumps([bool(dbf.is_deleted(record)), fields], ensure_ascii=False))
    table.close()


def dbfread_read(path):
    import dbfread

    table = dbfread.DBF(path, encoding="cp866", char_decode_errors="strict")
    for deleted, records in ((False, table), (True, table.deleted)):
        for record in records:
            fields = {k.upper(): text(v) for k, v in record.items()}
            print(json.dumps([deleted, fields], ensure_ascii=False))


def dbf_write(path):
    import dbf

    table = dbf.Table(path, "NAME C(20); ID N(9,0); BORN D; PRICE N(8,2)", codepage="cp866")
    table.open(dbf.READ_WRITE)
    table.append(("Ёлкино", 1, datetime.date(2016, 9, 27), 3.5))
    table.append(("удалённая", 2, None, 0))
    table.append(("Верх-Песчанка №2", 3, datetime.date(2027, 5, 22), -12.25))
    dbf.delete(table[1])
    table.close()


if __name__ == "__main__":
    sys.stdout.reconfigure(encoding="utf-8")
    {"dbf-read": dbf_read, "dbfread-read": dbfread_read, "dbf-write": dbf_write}[sys.argv[1]](
        sys.argv[2]
    )
