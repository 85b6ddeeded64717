#!/usr/bin/env bash
# Exports the handhelds' master table files from the POS database into a TXT
# folder, GBK with CR LF as the POS writes them, with their version file, so the
# handhelds and the POS speak of the same menu. Tables and specifications are
# numbered by their place in POS order (see docs/POS_SIMULATOR.md).
#   tools/export-table-files.sh POS_DB TXT_FOLDER
set -euo pipefail
db=${1:?usage: export-table-files.sh POS_DB TXT_FOLDER}
txt=${2:?usage: export-table-files.sh POS_DB TXT_FOLDER}
[ -f "$db" ] || { echo "export-table-files: no database $db" >&2; exit 1; }
mkdir -p "$txt"

q() { sqlite3 -batch -noheader -separator , "$db" "$1"; }
gbk() { sed 's/$/\r/' | iconv -f UTF-8 -t GBK; }
out() { gbk >"$txt/$1"; }

q "select cast(ch_dishno as integer), cast(ch_dish_typeno as integer), cast(ch_dish_seriesno as integer),
     ch_dishno, vch_dishname, cast(ifnull(num_price, 0) as integer), cast(ch_dish_unitno as integer)
   from pos_bt_dish order by ch_dishno" | out 菜品信息表.txt
q "select cast(ch_dish_typeno as integer), vch_dish_typename from pos_bt_dish_type order by ch_dish_typeno" \
  | out 菜品一级分类表.txt
q "select cast(ch_dish_seriesno as integer), 0, vch_dish_seriesname from pos_bt_dish_series
   order by ch_dish_seriesno" | out 菜品二级分类表.txt
q "select cast(ch_dishno as integer), cast(ch_dishno_detail as integer), cast(ifnull(num_num, 1) as integer),
     case when main_dish = 'Y' then 1 else 0 end from pos_bt_dish_suit order by ch_dishno, ch_dishno_detail" \
  | out 套餐表.txt
q "select (select count(*) from pos_bt_table u where u.ch_tableno <= t.ch_tableno), vch_TableName,
     cast(ch_floorno as integer), ifnull(int_seats, 0), cast(ch_floorno as integer), 0
   from pos_bt_table t order by ch_tableno" | out 房台表.txt
q "select cast(ch_dish_unitno as integer), vch_dish_unitname, 1, 0, 0 from pos_bt_dish_unit
   order by ch_dish_unitno" | out 菜品单位表.txt
q "select cast(ch_floorno as integer), vch_floorname from pos_bt_floor order by ch_floorno" | out 楼层表.txt
# The kitchen remarks, under one heading.
printf '1,口味\n' | out 一级做法表.txt
q "select int_remarkno, 1, vch_remark, 0, 0, '', 0 from pos_bt_cook_remark order by int_remarkno" 2>/dev/null \
  | out 二级做法表.txt
# Not kept in the POS tables the simulator knows: small fixed lists.
printf '1,0\n' | out 默认做法表.txt
printf '1,上菜太慢\n2,点错菜\n3,客人不要了\n' | out 退菜理由表.txt
printf '1,菜品\n2,酒水\n' | out 统计类别表.txt
printf '1,厨房,热菜,1,1,1,1,打印\n' | out 打印类型表.txt
for table in 1 2 3 4 5 6 7 8 9 10 12; do printf '%d,1,0,0,0,0,1\n' "$table"; done | out 数据库版本.txt
echo "table files of $db in $txt"
