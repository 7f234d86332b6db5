-- The point-of-sale system's rows for the worked example: waiter 3, Ana, and table 12
-- open with her, kept as 000012.
insert into vendedor (codigo, Nome) values ('3', 'Ana');
insert into CabMesa (mesa, vendedor, Hora, STATUS) values ('000012', '3', '20:15:00', '0');
commit;
