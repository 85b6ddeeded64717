-- The POS tables as the kitchen print service uses them, for the embedded SQLite
-- database of the demo and the tests. The POS owns these tables; the print service
-- reads them, writes a few flag and status columns, and adds pos_bt_dish_cookprint.sPath
-- when it is missing (so it is not here). Date-times are text "yyyy-MM-dd hh:mm:ss".
-- Text compares without regard to case, as the POS's SQL Server collation does.

CREATE TABLE IF NOT EXISTS pos_sys_parameter (
  vch_parameter varchar(50) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_value     varchar(200) COLLATE NOCASE NULL,
  vch_explain   varchar(200) COLLATE NOCASE NULL
);

CREATE TABLE IF NOT EXISTS pos_sys_operator (
  vch_operid   varchar(10) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_operator varchar(20) COLLATE NOCASE NULL
);

CREATE TABLE IF NOT EXISTS pos_bt_floor (
  ch_floorno   varchar(4) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_floorname varchar(20) COLLATE NOCASE NULL
);

CREATE TABLE IF NOT EXISTS pos_bt_table (
  ch_tableno    varchar(10) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_TableName varchar(20) COLLATE NOCASE NULL,
  ch_floorno    varchar(4) COLLATE NOCASE NULL,
  int_seats     integer NULL
);
CREATE INDEX IF NOT EXISTS IX_pos_bt_table_floor ON pos_bt_table (ch_floorno);

CREATE TABLE IF NOT EXISTS pos_bt_dish_type (
  ch_dish_typeno    varchar(4) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_dish_typename varchar(20) COLLATE NOCASE NULL
);

CREATE TABLE IF NOT EXISTS pos_bt_dish_series (
  ch_dish_seriesno    varchar(4) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_dish_seriesname varchar(20) COLLATE NOCASE NULL
);

CREATE TABLE IF NOT EXISTS pos_bt_dish_unit (
  ch_dish_unitno    varchar(4) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_dish_unitname varchar(10) COLLATE NOCASE NULL
);

CREATE TABLE IF NOT EXISTS pos_bt_dish (
  ch_dishno        varchar(10) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_dishname     varchar(40) COLLATE NOCASE NULL,
  ch_dish_typeno   varchar(4) COLLATE NOCASE NULL,
  ch_dish_seriesno varchar(4) COLLATE NOCASE NULL,
  ch_dish_unitno   varchar(4) COLLATE NOCASE NULL,
  num_price        numeric NULL
);

CREATE TABLE IF NOT EXISTS pos_bt_dish_suit (
  ch_dishno        varchar(10) COLLATE NOCASE NOT NULL,
  ch_dishno_detail varchar(10) COLLATE NOCASE NOT NULL,
  num_num          numeric NULL,
  main_dish        varchar(1) COLLATE NOCASE NULL,
  PRIMARY KEY (ch_dishno, ch_dishno_detail)
);

CREATE TABLE IF NOT EXISTS pos_bt_dish_spec (
  ch_specid    varchar(10) COLLATE NOCASE NOT NULL PRIMARY KEY,
  vch_specname varchar(20) COLLATE NOCASE NULL
);

-- Kitchen station printers ("厨打").
CREATE TABLE IF NOT EXISTS pos_bt_dish_cookprint (
  int_id         integer NOT NULL PRIMARY KEY,
  vch_name       varchar(40) COLLATE NOCASE NULL,
  cookprint_type integer NULL,
  int_printer    integer NULL,
  vch_printer1   varchar(100) COLLATE NOCASE NULL,
  vch_printer2   varchar(100) COLLATE NOCASE NULL,
  vch_printer3   varchar(100) COLLATE NOCASE NULL,
  bak_cookprint  varchar(100) COLLATE NOCASE NULL,
  vch_PrinterIp  varchar(40) COLLATE NOCASE NULL,
  vch_printyc    integer NULL,
  vch_printerzt  varchar(2) COLLATE NOCASE NULL,
  vch_printms    varchar(100) COLLATE NOCASE NULL
);

-- Areas of the dining room served by a station, one row per floor.
CREATE TABLE IF NOT EXISTS pos_cp_area_detail (
  int_id       integer NOT NULL PRIMARY KEY,
  int_print_id integer NOT NULL,
  ch_floorno   varchar(4) COLLATE NOCASE NOT NULL
);
CREATE INDEX IF NOT EXISTS IX_pos_cp_area_detail_print ON pos_cp_area_detail (int_print_id);

-- Kitchen routing of dish numbers.
CREATE TABLE IF NOT EXISTS pos_cp_dish_print (
  ch_dishno        varchar(10) COLLATE NOCASE NOT NULL,
  ch_printflag     varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  int_print_id     integer NULL,
  ch_outflag       varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  int_outprint_id1 integer NULL,
  ch_areaflag      varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  int_area_printid integer NULL,
  ch_area_outflag  varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  int_area_outid1  integer NULL
);
CREATE INDEX IF NOT EXISTS IX_pos_cp_dish_print_dish ON pos_cp_dish_print (ch_dishno);

-- Open tables: one row per bill at a table.
CREATE TABLE IF NOT EXISTS pos_u_table (
  ch_tableno    varchar(10) COLLATE NOCASE NOT NULL,
  ch_billno     varchar(20) COLLATE NOCASE NOT NULL,
  ch_oldtableno varchar(10) COLLATE NOCASE NULL,
  int_person    integer NULL,
  dt_operdate   varchar(19) NULL,
  PRIMARY KEY (ch_tableno, ch_billno)
);

-- Temporary sub-tables of a bill at a table.
CREATE TABLE IF NOT EXISTS pos_u_table_temp (
  ch_billno  varchar(20) COLLATE NOCASE NOT NULL,
  ch_tableno varchar(10) COLLATE NOCASE NOT NULL,
  ch_tempID  varchar(10) COLLATE NOCASE NULL
);
CREATE INDEX IF NOT EXISTS IX_pos_u_table_temp_bill ON pos_u_table_temp (ch_billno, ch_tableno);

-- Closed business days.
CREATE TABLE IF NOT EXISTS pos_u_day_sumup (
  int_id   integer PRIMARY KEY AUTOINCREMENT,
  dt_begin varchar(19) NULL,
  dt_end   varchar(19) NULL
);

-- Ordered dish lines. Intake orders them by int_flowid itself; the order-time index
-- serves its look-back cutoff and the day counts.
CREATE TABLE IF NOT EXISTS pos_u_orderdish (
  int_flowid      integer PRIMARY KEY AUTOINCREMENT,
  int_id          integer NULL,
  ch_billno       varchar(20) COLLATE NOCASE NULL,
  ch_tableno      varchar(10) COLLATE NOCASE NULL,
  ch_oldtableno   varchar(10) COLLATE NOCASE NULL,
  ch_dishno       varchar(10) COLLATE NOCASE NULL,
  ch_suitdishno   varchar(10) COLLATE NOCASE NULL,
  ch_dish_barcode varchar(10) COLLATE NOCASE NULL,
  num_num         numeric NULL,
  num_price       numeric NULL,
  num_addprice    numeric NULL DEFAULT 0,
  int_discount    integer NULL DEFAULT 100,
  int_discount2   integer NULL DEFAULT 100,
  ch_presentflag  varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  ch_cancelflag   varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  ch_togono       varchar(10) COLLATE NOCASE NULL DEFAULT '',
  vch_print_memo  varchar(200) COLLATE NOCASE NULL DEFAULT '',
  vch_reason      varchar(200) COLLATE NOCASE NULL DEFAULT '',
  dt_operdate     varchar(19) NULL,
  dt_dis_operdate varchar(19) NULL,
  vch_operid      varchar(10) COLLATE NOCASE NULL,
  ch_printflag    varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  ch_outflag1     varchar(1) COLLATE NOCASE NULL DEFAULT 'N',
  ch_outflag2     varchar(1) COLLATE NOCASE NULL DEFAULT 'N'
);
CREATE INDEX IF NOT EXISTS IX_pos_u_orderdish_operdate ON pos_u_orderdish (dt_operdate);
CREATE INDEX IF NOT EXISTS IX_pos_u_orderdish_dis_operdate ON pos_u_orderdish (dt_dis_operdate);
CREATE INDEX IF NOT EXISTS IX_pos_u_orderdish_bill ON pos_u_orderdish (ch_billno);
