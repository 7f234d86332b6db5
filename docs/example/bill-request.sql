-- A tablet's bill request for table 000012, for 2 people.
insert into mesa (id, mesa, COZINHA, Quant) values (3, '000012', '7', 2);
commit;
