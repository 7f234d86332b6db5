-- What a tablet writes: a feijoada for kitchen 1 with its copy on kitchen 2 (imp 5) and a
-- drink with no ticket (imp 0), both for table 000012.
insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, Texto)
    values (1, '000012', '5', '9', '3', '101', 'Feijoada', 2, 45.5, 'sem pimenta');
insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, Texto)
    values (2, '000012', '0', '9', '3', '205', 'Suco de maçã', 2, 8, '');
commit;
