#!/usr/bin/python3
"""Reads an .xlsx workbook with openpyxl and prints what the export tests check, as
one JSON object: sheets, frozen panes, column widths, row and cell fonts, values.

With --rows it reads the first sheet whole in openpyxl's streaming mode instead and
prints one JSON array per row, from row 1: each cell's value (null when empty), a
number as a number and a text as a text."""

import json
import sys

import openpyxl
from openpyxl.utils import get_column_letter


def font_of(font):
    if font is None:
        return None
    colour = font.color.rgb if font.color is not None and font.color.type == "rgb" else None
    return {"bold": bool(font.b), "size": font.sz, "colour": colour}


def main(path):
    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    pane = ws.sheet_view.pane
    result = {
        "sheets": wb.sheetnames,
        "freeze": ws.freeze_panes,
        "pane": None if pane is None else {
            "xSplit": pane.xSplit or 0, "ySplit": pane.ySplit or 0, "state": pane.state},
        "widths": {},
        "rowFonts": {},
        "cells": [],
        "maxRow": ws.max_row,
        "maxColumn": ws.max_column,
    }
    for c in range(1, 30):
        dim = ws.column_dimensions.get(get_column_letter(c))
        if dim is not None and dim.customWidth:
            result["widths"][str(c)] = dim.width
    for r, dim in ws.row_dimensions.items():
        if dim.s:
            result["rowFonts"][str(r)] = font_of(dim.font)
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            result["cells"].append({
                "row": cell.row, "column": cell.column, "value": cell.value,
                "type": cell.data_type, "font": font_of(cell.font)})
    json.dump(result, sys.stdout, ensure_ascii=False)


def rows(path):
    wb = openpyxl.load_workbook(path, read_only=True)
    ws = wb.worksheets[0]
    out = sys.stdout
    for row in ws.iter_rows(values_only=True):
        out.write(json.dumps(list(row), ensure_ascii=False))
        out.write("\n")


if __name__ == "__main__":
    if sys.argv[1] == "--rows":
        rows(sys.argv[2])
    else:
        main(sys.argv[1])
