-- A small restaurant for the demo: two floors, ten tables, six kitchen stations (one
-- of every grouping rule, one without printers, one with an unknown rule), dishes
-- with types, series, units and specifications, a set meal, three operators, a
-- closed business day, and a few open bills ordered minutes before the seed ran.

INSERT INTO pos_sys_parameter (vch_parameter, vch_value, vch_explain) VALUES
  ('print_mode', '3', '厨打模式');

INSERT INTO pos_sys_operator (vch_operid, vch_operator) VALUES
  ('0001', '收银员小陈'),
  ('1001', '服务员小王'),
  ('1002', '服务员小李');

INSERT INTO pos_bt_floor (ch_floorno, vch_floorname) VALUES
  ('01', '一楼大厅'),
  ('02', '二楼包间');

INSERT INTO pos_bt_table (ch_tableno, vch_TableName, ch_floorno, int_seats) VALUES
  ('A01', '大厅1号', '01', 4), ('A02', '大厅2号', '01', 4), ('A03', '大厅3号', '01', 6),
  ('A04', '大厅4号', '01', 6), ('A05', '大厅5号', '01', 8), ('A06', '大厅6号', '01', 8),
  ('V01', '牡丹厅', '02', 10), ('V02', '芙蓉厅', '02', 12), ('V03', '兰花厅', '02', 10),
  ('V04', '梅花厅', '02', 16);

INSERT INTO pos_bt_dish_type (ch_dish_typeno, vch_dish_typename) VALUES
  ('01', '热菜'), ('02', '凉菜'), ('03', '主食'), ('04', '酒水'), ('05', '海鲜'), ('06', '汤羹');

INSERT INTO pos_bt_dish_series (ch_dish_seriesno, vch_dish_seriesname) VALUES
  ('01', '川菜'), ('02', '粤菜'), ('03', '面点'), ('04', '饮品');

INSERT INTO pos_bt_dish_unit (ch_dish_unitno, vch_dish_unitname) VALUES
  ('01', '份'), ('02', '例'), ('03', '只'), ('04', '瓶'), ('05', '斤'), ('06', '碗'), ('07', '套');

INSERT INTO pos_bt_dish_spec (ch_specid, vch_specname) VALUES
  ('S1', '大份'), ('S2', '中份'), ('S3', '小份'), ('S4', '微辣'), ('S5', '特辣'), ('S6', '冰镇');

INSERT INTO pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno, num_price) VALUES
  ('1001', '宫保鸡丁', '01', '01', '01', 38),
  ('1002', '水煮鱼', '01', '01', '01', 68),
  ('1003', '鱼香肉丝', '01', '01', '01', 32),
  ('1004', '白切鸡', '01', '02', '03', 88),
  ('1005', '蜜汁叉烧', '01', '02', '02', 48),
  ('2001', '拍黄瓜', '02', '01', '01', 16),
  ('2002', '夫妻肺片', '02', '01', '01', 36),
  ('2003', '卤水拼盘', '02', '02', '01', 58),
  ('3001', '扬州炒饭', '03', '03', '01', 22),
  ('3002', '担担面', '03', '03', '06', 18),
  ('3003', '虾饺皇', '03', '03', '01', 28),
  ('4001', '青岛啤酒', '04', '04', '04', 12),
  ('4002', '鲜榨橙汁', '04', '04', '01', 20),
  ('5001', '清蒸石斑', '05', '02', '05', 198),
  ('5002', '椒盐濑尿虾', '05', '02', '05', 168),
  ('6001', '老火靓汤', '06', '02', '06', 26),
  ('9001', '商务套餐', '01', '02', '07', 128);

-- The set meal 9001 is ordered as its components.
INSERT INTO pos_bt_dish_suit (ch_dishno, ch_dishno_detail, num_num, main_dish) VALUES
  ('9001', '1004', 1, 'Y'),
  ('9001', '3001', 1, 'N'),
  ('9001', '6001', 1, 'N');

-- Stations: cookprint_type 1 per dish, 2 per series, 3 per type, 4 per table; station 5
-- has no printer, station 6 an unknown rule, station 7 serves the dining areas.
INSERT INTO pos_bt_dish_cookprint
  (int_id, vch_name, cookprint_type, int_printer, vch_printer1, vch_printer2, vch_printer3, bak_cookprint, vch_PrinterIp, vch_printyc, vch_printerzt, vch_printms) VALUES
  (1, '热菜厨房', 3, 1, 'hot-kitchen', '', '', 'backup-kitchen', '127.0.0.1:9101', 0, '1', '0'),
  (2, '凉菜间', 4, 2, 'cold-kitchen', 'cold-kitchen-2', '', '', '127.0.0.1:9102', 0, '1', '0'),
  (3, '面点间', 2, 3, 'pastry', 'pastry-2', 'pastry-3', '', '127.0.0.1:9103', 0, '1', '0'),
  (4, '酒水吧', 1, 1, 'bar', '', '', '', '127.0.0.1:9104', 0, '1', '0'),
  (5, '海鲜档', 3, 0, 'seafood', '', '', '', '', 0, '1', '0'),
  (6, '汤羹档', 9, 1, 'soup', '', '', '', '', 0, '1', '0'),
  (7, '传菜口', 4, 1, 'pass', '', '', '', '127.0.0.1:9107', 0, '1', '0');

-- The pass serves both floors for order tickets and the private rooms for output tickets.
INSERT INTO pos_cp_area_detail (int_id, int_print_id, ch_floorno) VALUES
  (1, 7, '01'),
  (2, 7, '02');

INSERT INTO pos_cp_dish_print
  (ch_dishno, ch_printflag, int_print_id, ch_outflag, int_outprint_id1, ch_areaflag, int_area_printid, ch_area_outflag, int_area_outid1) VALUES
  ('1001', 'Y', 1, 'Y', 7, 'N', NULL, 'N', NULL),
  ('1002', 'Y', 1, 'Y', 7, 'N', NULL, 'N', NULL),
  ('1003', 'Y', 1, 'Y', 7, 'N', NULL, 'N', NULL),
  ('1004', 'Y', 1, 'N', NULL, 'N', NULL, 'Y', 2),
  ('1005', 'Y', 1, 'N', NULL, 'N', NULL, 'Y', 2),
  ('2001', 'Y', 2, 'N', NULL, 'N', NULL, 'N', NULL),
  ('2002', 'Y', 2, 'N', NULL, 'N', NULL, 'N', NULL),
  ('2003', 'Y', 2, 'N', NULL, 'Y', 1, 'N', NULL),
  ('3001', 'Y', 3, 'N', NULL, 'N', NULL, 'N', NULL),
  ('3002', 'Y', 3, 'N', NULL, 'N', NULL, 'N', NULL),
  ('3003', 'Y', 3, 'N', NULL, 'N', NULL, 'N', NULL),
  ('4001', 'Y', 4, 'N', NULL, 'N', NULL, 'N', NULL),
  ('4002', 'Y', 4, 'N', NULL, 'N', NULL, 'N', NULL),
  ('5001', 'Y', 5, 'N', NULL, 'N', NULL, 'N', NULL),
  ('5002', 'Y', 5, 'N', NULL, 'N', NULL, 'N', NULL),
  ('6001', 'Y', 6, 'N', NULL, 'N', NULL, 'N', NULL);

-- Yesterday's business day, closed just before midnight.
INSERT INTO pos_u_day_sumup (dt_begin, dt_end) VALUES
  (strftime('%Y-%m-%d 09:30:00', 'now', 'localtime', '-1 day'),
   strftime('%Y-%m-%d 23:30:00', 'now', 'localtime', '-1 day'));

INSERT INTO pos_u_table (ch_tableno, ch_billno, ch_oldtableno, int_person, dt_operdate) VALUES
  ('A01', 'B0001', '', 4, datetime('now', 'localtime', '-20 minutes')),
  ('A03', 'B0002', 'A02', 6, datetime('now', 'localtime', '-15 minutes')),
  ('V01', 'B0003', '', 10, datetime('now', 'localtime', '-10 minutes'));

INSERT INTO pos_u_table_temp (ch_billno, ch_tableno, ch_tempID) VALUES
  ('B0003', 'V01', '2');

-- Open bills. B0001: a hall table with a remark, a present and a returned dish;
-- B0002: moved from A02, a take-away line, a hurried dish; B0003: a private room with
-- the set meal and a specification; one line excluded from printing ("K").
INSERT INTO pos_u_orderdish
  (int_id, ch_billno, ch_tableno, ch_oldtableno, ch_dishno, ch_suitdishno, ch_dish_barcode, num_num, num_price, num_addprice, int_discount, int_discount2, ch_presentflag, ch_cancelflag, ch_togono, vch_print_memo, vch_reason, dt_operdate, dt_dis_operdate, vch_operid, ch_printflag, ch_outflag1, ch_outflag2) VALUES
  (1, 'B0001', 'A01', '', '1001', '', 'S4', 1, 38, 0, 100, 100, 'N', 'N', '', '少放花生', '', datetime('now','localtime','-20 minutes'), datetime('now','localtime','-20 minutes'), '1001', 'N', 'N', 'N'),
  (2, 'B0001', 'A01', '', '1002', '', 'S1', 1, 68, 5, 90, 100, 'N', 'N', '', '', '', datetime('now','localtime','-20 minutes'), datetime('now','localtime','-20 minutes'), '1001', 'N', 'N', 'N'),
  (3, 'B0001', 'A01', '', '2001', '', '', 2, 16, 0, 100, 100, 'Y', 'N', '', '', '', datetime('now','localtime','-20 minutes'), datetime('now','localtime','-20 minutes'), '1001', 'N', 'N', 'N'),
  (4, 'B0001', 'A01', '', '4001', '', 'S6', 6, 12, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-19 minutes'), datetime('now','localtime','-19 minutes'), '1001', 'N', 'N', 'N'),
  (5, 'B0001', 'A01', '', '1003', '', '', 1, 32, 0, 100, 100, 'N', 'Y', '', '', '客人不要了', datetime('now','localtime','-18 minutes'), datetime('now','localtime','-18 minutes'), '1001', 'B', 'N', 'N'),
  (6, 'B0002', 'A03', 'A02', '1001', '', 'S5', 2, 38, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-15 minutes'), datetime('now','localtime','-15 minutes'), '1002', 'N', 'N', 'N'),
  (7, 'B0002', 'A03', 'A02', '3002', '', '', 3, 18, 0, 100, 100, 'N', 'N', 'T01', '打包', '', datetime('now','localtime','-15 minutes'), datetime('now','localtime','-15 minutes'), '1002', 'N', 'N', 'N'),
  (8, 'B0002', 'A03', 'A02', '1002', '', '', 1, 68, 0, 100, 100, 'N', 'N', '', '', '催一下', datetime('now','localtime','-12 minutes'), datetime('now','localtime','-12 minutes'), '1002', 'H', 'N', 'N'),
  (9, 'B0003', 'V01', '', '1004', '9001', '', 1, 88, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-10 minutes'), datetime('now','localtime','-10 minutes'), '0001', 'N', 'N', 'N'),
  (10, 'B0003', 'V01', '', '3001', '9001', '', 1, 22, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-10 minutes'), datetime('now','localtime','-10 minutes'), '0001', 'N', 'N', 'N'),
  (11, 'B0003', 'V01', '', '6001', '9001', '', 1, 26, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-10 minutes'), datetime('now','localtime','-10 minutes'), '0001', 'N', 'N', 'N'),
  (12, 'B0003', 'V01', '', '5001', '', 'S2', 1.5, 198, 0, 100, 100, 'N', 'N', '', '清蒸', '', datetime('now','localtime','-9 minutes'), datetime('now','localtime','-9 minutes'), '0001', 'N', 'N', 'N'),
  (13, 'B0003', 'V01', '', '3003', '', '', 2, 28, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-9 minutes'), datetime('now','localtime','-9 minutes'), '9999', 'N', 'N', 'N'),
  (14, 'B0003', 'V01', '', '2003', '', '', 1, 58, 0, 100, 100, 'N', 'N', '', '', '', datetime('now','localtime','-8 minutes'), datetime('now','localtime','-8 minutes'), '0001', 'K', 'N', 'N');

-- Kitchen remarks the front end offers the waiters; a handheld names them by number.
CREATE TABLE IF NOT EXISTS pos_bt_cook_remark (
  int_remarkno integer NOT NULL PRIMARY KEY,
  vch_remark   varchar(40) COLLATE NOCASE NULL
);
INSERT INTO pos_bt_cook_remark (int_remarkno, vch_remark) VALUES
  (1, '少辣'), (2, '不要香菜'), (3, '少放花生'), (4, '走葱'), (5, '多加醋'), (6, '打包');
